// The plug-in's output for fixed input and settings, loaded through dlopen
// and main as a host loads it, must match the stored output bit for bit.
// After an intended change of the sound, regenerate the files with
// glowrasp-golden tests/data and say so in the commit.
#include "golden/GoldenRuns.h"
#include "hostlib/PluginHost.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>

namespace glowrasp::golden {

void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << c.name;
}

namespace {

std::string hexFloat(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%a", static_cast<double>(value));
  return text;
}

class GoldenAudio : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenAudio, MatchesStoredOutputBitForBit) {
  const auto expected =
      readFloats(std::string(GLOWRASP_SOURCE_DIR) + "/tests/data/" + goldenFileName(GetParam()));
  const auto library = std::make_shared<const host::PluginLibrary>(GLOWRASP_PLUGIN_PATH);
  const auto actual = renderGolden(library, GetParam());
  ASSERT_EQ(actual.size(), expected.size());

  std::size_t mismatches = 0;
  std::size_t first = 0;
  for (std::size_t i = 0; i < actual.size(); ++i) {
    if (std::bit_cast<std::uint32_t>(actual[i]) != std::bit_cast<std::uint32_t>(expected[i])) {
      if (mismatches++ == 0)
        first = i;
    }
  }
  EXPECT_EQ(mismatches, 0u) << "first at frame " << first / kChannels << ", channel "
                            << first % kChannels << ": got " << hexFloat(actual[first])
                            << ", stored " << hexFloat(expected[first]);
}

INSTANTIATE_TEST_SUITE_P(Runs, GoldenAudio, ::testing::ValuesIn(goldenCases()),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace glowrasp::golden
