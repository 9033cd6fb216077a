// A third-party host renders a file through the bundle: lv2apply's result is
// glowrasp-render's through the VST build, bit for bit, for the same settings.
#include "tools/ToolTestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace glowrasp::testing;

// Runs lv2apply with the build's bundle as the only plug-in it can find.
RunResult RunLv2Apply(const TempDir& dir, const std::vector<std::string>& args) {
  std::vector<std::string> argv{"lv2apply"};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back(GLOWRASP_LV2_URI);
  std::string command = "LV2_PATH='" GLOWRASP_LV2_DIR "'";
  for (const std::string& arg : argv)
    command += " '" + arg + "'";
  command += " >'" + dir.file("apply.out") + "' 2>'" + dir.file("apply.err") + "'";
  const int status = std::system(command.c_str());
  RunResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = readText(dir.file("apply.out"));
  result.err = readText(dir.file("apply.err"));
  return result;
}

struct TApplyCase {
  const char* Name;
  int Channels;
  const char* Gain;
  const char* Intensity;
  const char* OutGain;
};

void PrintTo(const TApplyCase& c, std::ostream* os) {
  *os << c.Name;
}

class TApplyToolTest : public ::testing::TestWithParam<TApplyCase> {};

TEST_P(TApplyToolTest, Lv2ApplyEqualsTheRendererWithoutLatencyCompensation) {
  const TApplyCase& c = GetParam();
  TempDir dir;
  Audio input;
  input.channels = c.Channels;
  const std::vector<float> left = loudNoise(20000, 7);
  const std::vector<float> right = loudNoise(20000, 8);
  for (std::size_t i = 0; i < left.size(); ++i) {
    input.samples.push_back(left[i]);
    if (c.Channels == 2)
      input.samples.push_back(right[i]);
  }
  writeAudio(dir.file("in.wav"), input);

  const RunResult applied =
      RunLv2Apply(dir, {"-i", dir.file("in.wav"), "-o", dir.file("lv2.wav"), "-c", "gain", c.Gain,
                        "-c", "intensity", c.Intensity, "-c", "out_gain", c.OutGain});
  ASSERT_EQ(applied.status, 0) << applied.err;
  const RunResult rendered = runRender(dir, {dir.file("in.wav"), dir.file("vst.wav"), "--gain",
                                             c.Gain, "--intensity", c.Intensity, "--out-gain",
                                             c.OutGain, "--no-latency-compensation", "--float"});
  ASSERT_EQ(rendered.status, 0) << rendered.err;

  // lv2apply writes one channel per output port; the renderer keeps the
  // input's channel count, and a mono signal gives the same on both outputs.
  const Audio lv2 = readAudio(dir.file("lv2.wav"));
  const Audio vst = readAudio(dir.file("vst.wav"));
  ASSERT_EQ(lv2.channels, 2);
  ASSERT_EQ(vst.channels, c.Channels);
  ASSERT_EQ(lv2.frames(), input.frames());
  ASSERT_EQ(vst.frames(), input.frames());
  for (sf_count_t frame = 0; frame < lv2.frames(); ++frame)
    for (int channel = 0; channel < 2; ++channel) {
      const float expected = vst.at(frame, std::min(channel, vst.channels - 1));
      ASSERT_EQ(std::bit_cast<std::uint32_t>(lv2.at(frame, channel)),
                std::bit_cast<std::uint32_t>(expected))
          << "frame " << frame << ", channel " << channel << ": " << lv2.at(frame, channel)
          << " against " << expected;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TApplyToolTest,
                         ::testing::Values(TApplyCase{"stereo_hot", 2, "12", "50", "-6"},
                                           TApplyCase{"stereo_defaults", 2, "0", "100", "0"},
                                           TApplyCase{"mono_extremes", 1, "48", "0", "-48"},
                                           TApplyCase{"mono_odd", 1, "-7.3", "33.3", "5.5"}),
                         [](const auto& testInfo) { return std::string(testInfo.param.Name); });

} // namespace
