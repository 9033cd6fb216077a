// The LV2 ports as only LV2 has them: the latency port written by a run, and
// audio ports left unconnected or controls set to anything. (The output
// against the reference, whatever the layout and automation, is a
// cross-format case, tests/formats.)
#include "LV2Instance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr float kSentinel = 12345.0f;

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
