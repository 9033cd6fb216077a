// Audio through the record's process entries, as a host calls them.
#include "HostTestSupport.h"

#include <cmath>
#include <limits>

namespace glowrasp::hosttest {
namespace {

constexpr int kFrames = 64;

struct TBuffers {
  std::vector<float> In1 = std::vector<float>(kFrames, 0.0f);
  std::vector<float> In2 = std::vector<float>(kFrames, 0.0f);
  std::vector<float> Out1 = std::vector<float>(kFrames, 0.0f);
  std::vector<float> Out2 = std::vector<float>(kFrames, 0.0f);
  std::array<float*, 2> Inputs{In1.data(), In2.data()};
  std::array<float*, 2> Outputs{Out1.data(), Out2.data()};

  void Replacing(host::Plugin& plugin, int frames = kFrames) {
    plugin.processReplacing(Inputs.data(), Outputs.data(), frames);
  }
  void Accumulating(host::Plugin& plugin, int frames = kFrames) {
    plugin.process(Inputs.data(), Outputs.data(), frames);
  }
};

// Sample rate, block size and resume: what a host sends before it processes.
void Start(host::Plugin& plugin, float rate = 44100.0f, int block = 512) {
  plugin.setSampleRate(rate);
  plugin.setBlockSize(block);
  plugin.resume();
}

class Processing : public ::testing::Test {
protected:
  host::Plugin plugin{Library()};
};

TEST_F(Processing, NothingHappensUntilSampleRateAndBlockSizeAreKnown) {
  TBuffers b;
  b.In1[0] = b.In2[0] = 0.5f;
  std::fill(b.Out1.begin(), b.Out1.end(), 9.0f);
  b.Replacing(plugin);
  plugin.setSampleRate(48000.0f);
  b.Replacing(plugin);
  for (float v : b.Out1)
    ASSERT_EQ(v, 9.0f);
  plugin.setBlockSize(256);
  b.Replacing(plugin);
  EXPECT_EQ(b.Out1[6], 0.5f);
}

TEST_F(Processing, OutputLagsByTheReportedDelay) {
  Start(plugin);
  plugin.setParameter(host::kIntensity, 0.0f); // every sample takes the pure-delay kernel
  TBuffers b;
  b.In1[10] = 0.25f;
  b.In2[20] = -0.75f;
  b.Replacing(plugin);
  const int delay = plugin.initialDelay();
  for (int i = 0; i < kFrames; ++i) {
    EXPECT_NEAR(b.Out1[i], i == 10 + delay ? 0.25f : 0.0f, 1e-15) << i;
    EXPECT_NEAR(b.Out2[i], i == 20 + delay ? -0.75f : 0.0f, 1e-15) << i;
  }
}

TEST_F(Processing, SameBufferOnBothInputsTakesTheMonoRoute) {
  Start(plugin);
  TBuffers b;
  for (int i = 0; i < kFrames; ++i)
    b.In1[i] = 3.0f * std::sin(0.3f * i);
  b.Inputs[1] = b.In1.data();
  b.Replacing(plugin);
  EXPECT_EQ(b.Out1, b.Out2);

  // The stereo route on a fresh instance with equal content gives the same
  // samples: the routes differ in work, not in sound.
  host::Plugin stereo(Library());
  Start(stereo);
  TBuffers s;
  s.In1 = s.In2 = b.In1;
  s.Replacing(stereo);
  EXPECT_EQ(s.Out1, b.Out1);
  EXPECT_EQ(s.Out2, b.Out1);
}

TEST_F(Processing, AccumulatingAddsToEachOutput) {
  Start(plugin);
  plugin.setParameter(host::kIntensity, 0.0f);
  TBuffers b;
  b.In1[0] = 0.25f;
  b.In2[0] = 0.5f;
  std::fill(b.Out1.begin(), b.Out1.end(), 1.0f);
  std::fill(b.Out2.begin(), b.Out2.end(), 5.0f);
  b.Accumulating(plugin);
  EXPECT_EQ(b.Out1[6], 1.25f);
  EXPECT_EQ(b.Out2[6], 5.5f);
  EXPECT_EQ(b.Out1[7], 1.0f);

  // Mono route: each output keeps what the host had accumulated in it.
  TBuffers m;
  m.Inputs[1] = m.In1.data();
  m.In1[0] = 0.25f;
  std::fill(m.Out1.begin(), m.Out1.end(), 1.0f);
  std::fill(m.Out2.begin(), m.Out2.end(), 5.0f);
  m.Accumulating(plugin);
  EXPECT_EQ(m.Out1[6], 1.25f);
  EXPECT_EQ(m.Out2[6], 5.25f);
}

TEST_F(Processing, BlockSplitAndBlockSizeChangesDoNotChangeTheSound) {
  Start(plugin);
  host::Plugin other(Library());
  Start(other, 96000.0f, 37);
  std::vector<float> in(100), out1(100), out2(100), ref1(100), ref2(100);
  for (int i = 0; i < 100; ++i)
    in[i] = 2.5f * std::sin(0.21f * i) * (i % 17 == 0 ? 3.0f : 1.0f);
  std::vector<float> in2(in.rbegin(), in.rend());
  float* ins[] = {in.data(), in2.data()};
  float* refs[] = {ref1.data(), ref2.data()};
  plugin.processReplacing(ins, refs, 100);

  float* head[] = {in.data(), in2.data()};
  float* headOut[] = {out1.data(), out2.data()};
  other.processReplacing(head, headOut, 37);
  float* tail[] = {in.data() + 37, in2.data() + 37};
  float* tailOut[] = {out1.data() + 37, out2.data() + 37};
  other.setBlockSize(63);
  other.processReplacing(tail, tailOut, 63);
  EXPECT_EQ(out1, ref1);
  EXPECT_EQ(out2, ref2);
}

TEST_F(Processing, SuspendClearsTheRings) {
  Start(plugin);
  TBuffers b;
  b.In1[0] = b.In2[0] = 0.9f;
  b.Replacing(plugin, 3);
  plugin.suspend();
  plugin.resume();
  TBuffers silence;
  silence.Replacing(plugin);
  for (int i = 0; i < kFrames; ++i) {
    ASSERT_EQ(silence.Out1[i], 0.0f) << i;
    ASSERT_EQ(silence.Out2[i], 0.0f) << i;
  }
}

TEST_F(Processing, HostileCallsDoNotFault) {
  Start(plugin);
  TBuffers b;
  b.In1[0] = std::numeric_limits<float>::quiet_NaN();
  b.In1[1] = std::numeric_limits<float>::infinity();
  b.In2[2] = -std::numeric_limits<float>::infinity();
  b.In2[3] = 3e38f;
  for (float gain : {0.0f, 1.0f}) {
    plugin.setParameter(host::kGain, gain);
    b.Replacing(plugin);
    b.Accumulating(plugin);
  }
  plugin.processReplacing(nullptr, b.Outputs.data(), kFrames);
  plugin.processReplacing(b.Inputs.data(), nullptr, kFrames);
  plugin.process(nullptr, nullptr, kFrames);
  std::array<float*, 2> nullChannels{nullptr, nullptr};
  plugin.processReplacing(nullChannels.data(), nullChannels.data(), kFrames);
  plugin.processReplacing(b.Inputs.data(), b.Outputs.data(), 0);
  plugin.processReplacing(b.Inputs.data(), b.Outputs.data(), -5);
  plugin.setSampleRate(std::numeric_limits<float>::quiet_NaN());
  plugin.setSampleRate(1e30f);
  plugin.setBlockSize(-1);
  plugin.suspend();
  TBuffers silence;
  silence.Replacing(plugin);
  for (float v : silence.Out1)
    ASSERT_EQ(v, 0.0f);
}

TEST_F(Processing, ParameterChangesReachTheSound) {
  Start(plugin);
  plugin.setParameter(host::kIntensity, 0.0f);
  plugin.setParameter(host::kOutGain, host::decibelsToHost(6.0));
  TBuffers b;
  b.In1[0] = 0.5f;
  b.Replacing(plugin);
  EXPECT_NEAR(b.Out1[6], 0.5 * std::pow(10.0, 6.0 / 20.0), 1e-6);
}

} // namespace
} // namespace glowrasp::hosttest
