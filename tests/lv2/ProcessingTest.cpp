// The LV2 plug-in against the VST build: the same material and settings give
// the same samples, bit for bit, whatever the buffer layout and block sizes.
#include "LV2Instance.h"
#include "common/TestSignals.h"
#include "hostlib/PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr float kSentinel = 12345.0f;

struct TSettings {
  float GainDb;
  float IntensityPercent;
  float OutGainDb;
};

// What a VST host sends for the same settings.
float DecibelsToHost(float db) {
  return static_cast<float>(db / 96.0 + 0.5);
}

enum TLayout { lStereo, lMonoRoute, lInPlace, lMonoInPlace };

struct TBlockCase {
  const char* Name;
  TLayout Layout;
  std::vector<std::uint32_t> Blocks; // repeated until the material ends; 0 is an empty run
  TSettings First;
  TSettings Second; // from the middle of the material on
};

const TSettings kDefaults{0, 100, 0};
const TSettings kHot{12, 50, -6};
const TSettings kOdd{-7.3f, 33.3f, 5.5f};
const TSettings kExtremes{48, 0, -48};

void PrintTo(const TBlockCase& c, std::ostream* os) {
  *os << c.Name;
}

// One LV2 instance and one instance of the VST build, set up alike.
class TLV2AndVstTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Plugin) << "lilv could not instantiate the plug-in";
    Effect.setSampleRate(44100.0f);
    Effect.setBlockSize(512);
    Effect.resume();
  }

  void Apply(const TSettings& s) {
    Plugin.Control(kGainPort) = s.GainDb;
    Plugin.Control(kIntensityPort) = s.IntensityPercent;
    Plugin.Control(kOutGainPort) = s.OutGainDb;
    Effect.setParameter(0, DecibelsToHost(s.GainDb));
    Effect.setParameter(1, s.IntensityPercent / 100.0f);
    Effect.setParameter(2, DecibelsToHost(s.OutGainDb));
  }

  TLilvWorld World;
  TLV2Instance Plugin{World};
  glowrasp::host::Plugin Effect{
      std::make_shared<const glowrasp::host::PluginLibrary>(GLOWRASP_PLUGIN_PATH)};
};

class TLV2ProcessingTest : public TLV2AndVstTest,
                           public ::testing::WithParamInterface<TBlockCase> {};

TEST_P(TLV2ProcessingTest, SameSamplesAsTheVstBuild) {
  const TBlockCase& c = GetParam();
  constexpr std::size_t frames = 6000;
  const bool mono = c.Layout == lMonoRoute || c.Layout == lMonoInPlace;
  const std::vector<float> left = LoudNoise(frames, 1);
  const std::vector<float> right = mono ? left : LoudNoise(frames, 2);
  std::vector<float> vstL(frames), vstR(frames), lv2L(frames), lv2R(frames);

  std::size_t done = 0;
  std::size_t block = 0;
  Apply(c.First);
  bool switched = false;
  while (done < frames) {
    if (!switched && done >= frames / 2) {
      Apply(c.Second);
      switched = true;
    }
    const std::uint32_t n = static_cast<std::uint32_t>(
        std::min<std::size_t>(c.Blocks[block++ % c.Blocks.size()], frames - done));
    const float* inL = left.data() + done;
    const float* inR = right.data() + done;
    float* outL = lv2L.data() + done;
    float* outR = lv2R.data() + done;
    if (n == 0) {
      // Nothing may be read or written, and the state must not move.
      float probe[2] = {kSentinel, kSentinel};
      Plugin.Run(inL, inR, &probe[0], &probe[1], 0);
      EXPECT_EQ(probe[0], kSentinel);
      EXPECT_EQ(probe[1], kSentinel);
      continue;
    }
    float* vstIn[2] = {const_cast<float*>(inL), const_cast<float*>(mono ? inL : inR)};
    float* vstOut[2] = {vstL.data() + done, vstR.data() + done};
    Effect.processReplacing(vstIn, vstOut, static_cast<int>(n));
    switch (c.Layout) {
    case lStereo:
      Plugin.Run(inL, inR, outL, outR, n);
      break;
    case lMonoRoute:
      Plugin.Run(inL, inL, outL, outR, n);
      break;
    case lInPlace:
      std::copy(inL, inL + n, outL);
      std::copy(inR, inR + n, outR);
      Plugin.Run(outL, outR, outL, outR, n);
      break;
    case lMonoInPlace:
      std::copy(inL, inL + n, outL);
      Plugin.Run(outL, outL, outL, outR, n);
      break;
    }
    done += n;
  }
  EXPECT_EQ(FirstDifference(lv2L, vstL), -1) << "left";
  EXPECT_EQ(FirstDifference(lv2R, vstR), -1) << "right";
  if (mono) {
    EXPECT_EQ(FirstDifference(lv2L, lv2R), -1) << "a mono signal gives the same on both outputs";
  }
  EXPECT_EQ(Plugin.Control(kLatencyPort), 6.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, TLV2ProcessingTest,
    ::testing::Values(TBlockCase{"stereo_large_blocks", lStereo, {512, 4096}, kDefaults, kHot},
                      TBlockCase{"stereo_odd_blocks", lStereo, {1, 37, 0, 255}, kOdd, kExtremes},
                      TBlockCase{"mono_route", lMonoRoute, {64, 0, 1000}, kHot, kOdd},
                      TBlockCase{"in_place", lInPlace, {128, 3}, kExtremes, kDefaults},
                      TBlockCase{"mono_in_place", lMonoInPlace, {300}, kHot, kExtremes}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

// The host's soft bypass in the VST build, which lv2:enabled drives here.
constexpr VstInt32 kEffSetBypass = 44;

TEST_F(TLV2AndVstTest, EnabledPortIsTheVstBuildsLatencyTrueBypass) {
  constexpr std::size_t frames = 4000;
  constexpr std::uint32_t block = 100;
  constexpr std::size_t bypassFrom = 1000;
  constexpr std::size_t bypassTo = 2500;
  constexpr std::size_t latency = 6;
  constexpr std::size_t fade = 64;
  const std::vector<float> left = LoudNoise(frames, 3);
  const std::vector<float> right = LoudNoise(frames, 4);
  std::vector<float> vstL(frames), vstR(frames), lv2L(frames), lv2R(frames);
  Apply(kHot);
  for (std::size_t done = 0; done < frames; done += block) {
    const bool bypassed = done >= bypassFrom && done < bypassTo;
    Plugin.Control(kEnabledPort) = bypassed ? 0.0f : 1.0f;
    Effect.dispatch(kEffSetBypass, 0, bypassed ? 1 : 0);
    float* vstIn[2] = {const_cast<float*>(left.data() + done),
                       const_cast<float*>(right.data() + done)};
    float* vstOut[2] = {vstL.data() + done, vstR.data() + done};
    Effect.processReplacing(vstIn, vstOut, block);
    Plugin.Run(left.data() + done, right.data() + done, lv2L.data() + done, lv2R.data() + done,
               block);
  }
  EXPECT_EQ(FirstDifference(lv2L, vstL), -1) << "left";
  EXPECT_EQ(FirstDifference(lv2R, vstR), -1) << "right";
  // Once faded, the outputs carry the inputs exactly as late as the effect's latency.
  for (std::size_t i = bypassFrom + fade; i < bypassTo; ++i) {
    ASSERT_EQ(lv2L[i], left[i - latency]) << "frame " << i;
    ASSERT_EQ(lv2R[i], right[i - latency]) << "frame " << i;
  }
}

// An output port's buffer is the host's until run(): connecting it writes
// nothing, and a run of 0 frames is enough to read the latency.
TEST(TLV2PortsTest, LatencyIsWrittenByRunNotByConnecting) {
  TLilvWorld world;
  TLV2Instance plugin(world);
  ASSERT_TRUE(plugin);
  EXPECT_EQ(plugin.Control(kLatencyPort), 0.0f) << "the host's own value, as lilv set it";
  plugin.Run(nullptr, nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(plugin.Control(kLatencyPort), 6.0f);
}

TEST(TLV2PortsTest, UnconnectedAudioPortsAndHostileControlsAreHarmless) {
  TLilvWorld world;
  TLV2Instance plugin(world);
  ASSERT_TRUE(plugin);
  std::vector<float> in(256, 0.5f);
  std::vector<float> out(256, kSentinel);
  for (const float hostile : {NAN, INFINITY, -INFINITY, 1e30f, -1e30f}) {
    plugin.Control(kGainPort) = hostile;
    plugin.Control(kIntensityPort) = hostile;
    plugin.Control(kOutGainPort) = hostile;
    plugin.Control(kEnabledPort) = hostile;
    plugin.Run(in.data(), in.data(), out.data(), out.data(), 256);
    for (const float sample : out)
      ASSERT_TRUE(std::isfinite(sample)) << "control value " << hostile;
  }
  std::fill(out.begin(), out.end(), kSentinel);
  plugin.Run(in.data(), nullptr, out.data(), out.data(), 256);
  EXPECT_EQ(out.front(), kSentinel) << "a missing input buffer must not be processed";
}

} // namespace
