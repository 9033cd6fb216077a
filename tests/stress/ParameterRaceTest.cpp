// Hosts set one parameter from two threads at once: the UI thread (a
// controller edit, a state load, an editor gesture) and the audio thread
// (automation). Whichever value the host reads back afterwards is the value
// the sound must follow, however the calls interleaved.
#include "vst/DAEffectX.h"
#include "vst/PluginFactory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

namespace {

// 10^6 rounds in all, in short races: after each one the sound is checked.
constexpr int kRaces = 1000;
constexpr int kRounds = 1000;
constexpr int kFrames = 256;

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

VstIntPtr Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   float opt = 0.0f) {
  return effect->dispatcher(effect, opcode, index, value, nullptr, opt);
}

AEffect* OpenEffect() {
  AEffect* effect = CreateEffectInstance(&HostCallback);
  Dispatch(effect, effOpen);
  Dispatch(effect, effSetSampleRate, 0, 0, 48000.0f);
  Dispatch(effect, effSetBlockSize, 0, kFrames);
  Dispatch(effect, effMainsChanged, 0, 1);
  return effect;
}

void CloseEffect(AEffect* effect) {
  Dispatch(effect, effMainsChanged, 0, 0);
  Dispatch(effect, effClose);
}

// Noise peaking near +12 dBFS: the drive gain decides every kernel.
std::vector<float> DrivenNoise(unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> sample(-4.0f, 4.0f);
  std::vector<float> noise(kFrames);
  for (float& x : noise)
    x = sample(random);
  return noise;
}

// The effect's output for the material, starting from silence.
std::vector<float> Render(AEffect* effect, const std::vector<float>& left,
                          const std::vector<float>& right) {
  Dispatch(effect, effMainsChanged, 0, 0);
  Dispatch(effect, effMainsChanged, 0, 1);
  std::vector<float> out1(kFrames), out2(kFrames);
  float* inputs[2] = {const_cast<float*>(left.data()), const_cast<float*>(right.data())};
  float* outputs[2] = {out1.data(), out2.data()};
  effect->processReplacing(effect, inputs, outputs, kFrames);
  out1.insert(out1.end(), out2.begin(), out2.end());
  return out1;
}

} // namespace

TEST(ParameterRace, TheSoundFollowsTheValueTheHostReadsBack) {
  const std::vector<float> left = DrivenNoise(1);
  const std::vector<float> right = DrivenNoise(2);
  // What each of the two values sounds like, from an instance nobody races.
  std::vector<float> expected[2];
  for (const int value : {0, 1}) {
    AEffect* const reference = OpenEffect();
    reference->setParameter(reference, 0, static_cast<float>(value));
    expected[value] = Render(reference, left, right);
    CloseEffect(reference);
  }
  ASSERT_NE(expected[0], expected[1]);

  AEffect* const raced = OpenEffect();
  int wrong = 0;
  for (int race = 0; race < kRaces; ++race) {
    std::atomic<int> ready{0};
    const auto setter = [raced, &ready](float value) {
      ready.fetch_add(1);
      while (ready.load() < 2) {
      }
      for (int round = 0; round < kRounds; ++round)
        raced->setParameter(raced, 0, value);
    };
    std::thread ui(setter, 0.0f);
    std::thread audio(setter, 1.0f);
    ui.join();
    audio.join();
    const float readBack = raced->getParameter(raced, 0);
    ASSERT_TRUE(readBack == 0.0f || readBack == 1.0f) << readBack;
    wrong += Render(raced, left, right) != expected[static_cast<int>(readBack)];
  }
  EXPECT_EQ(wrong, 0) << "races whose sound differs from the value read back";
  CloseEffect(raced);
}
