// Same input, same output on every build: the plug-in's audio against the
// stored golden output (made by the Linux build), and its kernel table
// against the table's digest, also on a host thread whose x87 unit runs at
// 53-bit precision, as Windows starts threads. The caller's floating-point
// state survives every call.
//
// After an intended change of the sound, regenerate the stored files with
// glowrasp-golden tests/data and say so in the commit.
#include "HostTestSupport.h"
#include "common/FloatingPointState.h"
#include "common/KernelSweep.h"
#include "common/Sha256.h"
#include "golden/GoldenRuns.h"

#include <bit>
#include <cstdint>
#include <cstdio>

namespace glowrasp::golden {

void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << c.name;
}

} // namespace glowrasp::golden

namespace glowrasp::hosttest {
namespace {

std::string HexFloat(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%a", static_cast<double>(value));
  return text;
}

void ExpectGoldenRunMatches(const golden::GoldenCase& goldenCase) {
  const std::vector<float> expected =
      golden::readFloats(DataFile(golden::goldenFileName(goldenCase)));
  const std::vector<float> actual = golden::renderGolden(Library(), goldenCase);
  ASSERT_EQ(actual.size(), expected.size()) << goldenCase.name;
  std::size_t mismatches = 0;
  std::size_t first = 0;
  for (std::size_t i = 0; i < actual.size(); ++i)
    if (std::bit_cast<std::uint32_t>(actual[i]) != std::bit_cast<std::uint32_t>(expected[i]) &&
        mismatches++ == 0)
      first = i;
  EXPECT_EQ(mismatches, 0u) << goldenCase.name << ": first at frame " << first / golden::kChannels
                            << ", channel " << first % golden::kChannels << ": got "
                            << HexFloat(actual[first]) << ", stored " << HexFloat(expected[first]);
}

void ExpectKernelTableDigest() {
  host::Plugin plugin(Library());
  const std::vector<std::byte> table = SweepKernelTable(plugin);
  EXPECT_EQ(table.size(), std::size_t{kKernelCount} * kKernelLength * 4);
  EXPECT_EQ(::test::Sha256Hex(table), kKernelTableSha256);
}

class GoldenAudio : public ::testing::TestWithParam<golden::GoldenCase> {};

TEST_P(GoldenAudio, MatchesStoredOutputBitForBit) {
  ExpectGoldenRunMatches(GetParam());
}

INSTANTIATE_TEST_SUITE_P(SameOutput, GoldenAudio, ::testing::ValuesIn(golden::goldenCases()),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SameOutput, KernelTableMatchesItsDigest) {
  ExpectKernelTableDigest();
}

TEST(SameOutput, HostThreadAt53BitPrecisionGetsTheSameResults) {
  RunOnNewThread([] {
    // Windows starts threads so; set it anyway, whatever the platform does.
    SetX87ControlWord(kWindowsThreadControlWord);
    ExpectKernelTableDigest();
    for (const golden::GoldenCase& goldenCase : golden::goldenCases())
      ExpectGoldenRunMatches(goldenCase);
    EXPECT_EQ(X87ControlWord(), kWindowsThreadControlWord);
  });
}

// Every kind of call, each checked on its own: a plug-in that changed the
// host's x87 control word or SSE settings would change the host's own sums.
TEST(SameOutput, CallerFloatingPointStateIsLeftAsFound) {
  RunOnNewThread([] {
    SetX87ControlWord(kWindowsThreadControlWord);
    SetMxcsr(kHostAudioMxcsr);
    const auto expectUnchanged = [](const char* call) {
      EXPECT_EQ(X87ControlWord(), kWindowsThreadControlWord) << "after " << call;
      EXPECT_EQ(Mxcsr() & kMxcsrControl, kHostAudioMxcsr) << "after " << call;
    };
    host::Plugin plugin(Library());
    TMessageRecording messages(plugin);
    expectUnchanged("main");
    plugin.setSampleRate(44100.0f);
    plugin.setBlockSize(64);
    expectUnchanged("building the kernel table");
    plugin.resume();
    plugin.setParameter(host::kGain, 0.7f);
    expectUnchanged("setParameter");
    EXPECT_NE(plugin.paramDisplay(host::kGain), "");
    expectUnchanged("effGetParamDisplay");
    EXPECT_EQ(plugin.getParameter(host::kGain), 0.7f);
    expectUnchanged("getParameter");
    std::vector<float> in(64, 0.9f);
    std::vector<float> out1(64);
    std::vector<float> out2(64);
    std::array<float*, 2> inputs{in.data(), in.data()};
    std::array<float*, 2> outputs{out1.data(), out2.data()};
    plugin.processReplacing(inputs.data(), outputs.data(), 64);
    plugin.process(inputs.data(), outputs.data(), 64);
    expectUnchanged("processing");
    EXPECT_TRUE(messages.Texts().empty());
    SetMxcsr(0x1F80);
  });
}

} // namespace
} // namespace glowrasp::hosttest
