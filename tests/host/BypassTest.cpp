// The host's bypass: the input delayed by the plug-in's latency while
// bypassed, a crossfade at each switch, and once the fade back is over the
// very output the plug-in would have given without the bypass.
#include "PluginUnderTest.h"
#include "hostlib/Parameters.h"
#include "vst/DAEffectX.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace glowrasp::vst24 {
namespace {

constexpr int kLatency = 6;
constexpr int kFade = 64;
constexpr double kPi = 3.14159265358979323846;

using TChannels = std::array<std::vector<float>, 2>;

// How the host hands its buffers over.
struct TMode {
  const char* Name;
  bool Replacing;
  bool SameInput; // one buffer for both inputs (the mono route)
  bool InPlace;   // the output buffers are the input buffers
};

std::ostream& operator<<(std::ostream& out, const TMode& m) {
  return out << m.Name;
}

const TMode kModes[] = {
    {"Replacing", true, false, false},    {"Accumulating", false, false, false},
    {"MonoReplacing", true, true, false}, {"MonoAccumulating", false, true, false},
    {"InPlace", true, false, true},
};

// A block of the host's run; Bypass -1 leaves the state as it is.
struct TBlock {
  int Frames;
  int Bypass = -1;
};

// Loud enough for the shaper to smear the peaks, so that its output and the
// delayed input differ.
TChannels Input(int frames) {
  TChannels in{std::vector<float>(frames), std::vector<float>(frames)};
  for (int n = 0; n < frames; ++n) {
    in[0][n] = static_cast<float>(0.5 * std::sin(2 * kPi * 441.0 * n / 44100.0));
    in[1][n] = static_cast<float>(0.4 * std::sin(2 * kPi * 300.0 * n / 44100.0 + 1.0));
  }
  return in;
}

// What an accumulating host has in its output buffers already.
float Previous(int channel, int n) {
  return 0.125f * static_cast<float>(channel + 1) + static_cast<float>(n % 7) * 0.015625f;
}

class Bypass : public ::testing::TestWithParam<TMode> {
protected:
  static std::unique_ptr<host::Plugin> Started(float gain, float outGain) {
    auto plugin = std::make_unique<host::Plugin>(Library());
    plugin->setSampleRate(44100.0f);
    plugin->setBlockSize(512);
    plugin->resume();
    plugin->setParameter(host::kGain, gain);
    plugin->setParameter(host::kOutGain, outGain);
    return plugin;
  }

  // Runs `in` through `plugin` block by block in the given mode.
  static TChannels Render(host::Plugin& plugin, const TMode& mode, const TChannels& in,
                          const std::vector<TBlock>& blocks) {
    TChannels out{std::vector<float>(in[0].size()), std::vector<float>(in[0].size())};
    int done = 0;
    for (const TBlock& block : blocks) {
      if (block.Bypass >= 0) {
        EXPECT_EQ(plugin.dispatch(effSetBypass, 0, block.Bypass), 1);
      }
      std::array<std::vector<float>, 2> inputs, outputs;
      for (int c = 0; c < 2; ++c) {
        const int source = mode.SameInput ? 0 : c;
        inputs[c].assign(in[source].begin() + done, in[source].begin() + done + block.Frames);
        outputs[c].resize(block.Frames);
        for (int i = 0; i < block.Frames; ++i)
          outputs[c][i] = mode.Replacing ? 123.0f : Previous(c, done + i);
      }
      float* inputPointers[2] = {inputs[0].data(),
                                 mode.SameInput ? inputs[0].data() : inputs[1].data()};
      float* outputPointers[2] = {outputs[0].data(), outputs[1].data()};
      if (mode.InPlace) {
        outputPointers[0] = inputs[0].data();
        outputPointers[1] = inputs[1].data();
      }
      if (mode.Replacing)
        plugin.processReplacing(inputPointers, outputPointers, block.Frames);
      else
        plugin.process(inputPointers, outputPointers, block.Frames);
      for (int c = 0; c < 2; ++c)
        std::copy(outputPointers[c], outputPointers[c] + block.Frames, out[c].begin() + done);
      done += block.Frames;
    }
    return out;
  }

  // The input the host sent to output `channel`, `kLatency` frames late.
  static float DelayedDry(const TMode& mode, const TChannels& in, int channel, int n) {
    return n < kLatency ? 0.0f : in[mode.SameInput ? 0 : channel][n - kLatency];
  }
};

// Bypassed from frame 1000 to 3000, in blocks of odd sizes and longer than
// the plug-in's working chunks.
const std::vector<TBlock> kSchedule = {
    {600}, {400}, {37, 1}, {700}, {1263}, {300, 0}, {77}, {1500}, {523},
};
constexpr int kOn = 1000;
constexpr int kOff = 3000;
constexpr int kTotal = 5400;

TEST_P(Bypass, OutputsTheInputSixFramesLateWhileBypassed) {
  const TMode& mode = GetParam();
  const TChannels in = Input(kTotal);
  const auto plugin = Started(0.75f, 0.5f);
  const TChannels out = Render(*plugin, mode, in, kSchedule);
  for (int c = 0; c < 2; ++c)
    for (int n = kOn + kFade; n < kOff; ++n) {
      const float dry = DelayedDry(mode, in, c, n);
      const float expected = mode.Replacing ? dry : Previous(c, n) + dry;
      ASSERT_EQ(out[c][n], expected) << "channel " << c << " frame " << n;
    }
}

TEST_P(Bypass, IsBitForBitTheUnbypassedOutputOnceTheFadeBackIsOver) {
  const TMode& mode = GetParam();
  const TChannels in = Input(kTotal);
  const auto bypassed = Started(0.75f, 0.5f);
  const auto reference = Started(0.75f, 0.5f);
  const TChannels out = Render(*bypassed, mode, in, kSchedule);
  const TChannels expected = Render(*reference, mode, in, {{kTotal}});
  for (int c = 0; c < 2; ++c) {
    // Nothing was bypassed before the switch either.
    EXPECT_EQ(std::memcmp(out[c].data(), expected[c].data(), kOn * sizeof(float)), 0)
        << "channel " << c << " before the bypass";
    EXPECT_EQ(std::memcmp(out[c].data() + kOff + kFade, expected[c].data() + kOff + kFade,
                          (kTotal - kOff - kFade) * sizeof(float)),
              0)
        << "channel " << c << " after the fade back";
    // The effect and the delayed input really differ here.
    EXPECT_NE(out[c][kOn + kFade + 100], expected[c][kOn + kFade + 100]) << "channel " << c;
  }
}

// With the effect turned almost silent, each switch is a change between
// silence and the full input: without a fade it would jump by up to the
// input's amplitude from one frame to the next.
TEST_P(Bypass, NeverClicks) {
  const TMode& mode = GetParam();
  const TChannels in = Input(kTotal);
  const auto plugin = Started(0.5f, 0.0f);
  const TChannels out = Render(*plugin, mode, in, kSchedule);
  // The input's own steepest step is 0.5 * 2 pi * 441 / 44100 = 0.031; the
  // fade adds at most 0.5 / 64 = 0.008.
  constexpr float kLargestStep = 0.045f;
  for (int c = 0; c < 2; ++c) {
    EXPECT_LT(std::fabs(out[c][kOn - 1] - (mode.Replacing ? 0.0f : Previous(c, kOn - 1))), 0.01f)
        << "the effect is not quiet";
    for (int n = 1; n < kTotal; ++n) {
      const float step = mode.Replacing
                             ? out[c][n] - out[c][n - 1]
                             : (out[c][n] - Previous(c, n)) - (out[c][n - 1] - Previous(c, n - 1));
      ASSERT_LT(std::fabs(step), kLargestStep) << "channel " << c << " frame " << n;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, Bypass, ::testing::ValuesIn(kModes),
                         [](const auto& test) { return std::string(test.param.Name); });

} // namespace
} // namespace glowrasp::vst24
