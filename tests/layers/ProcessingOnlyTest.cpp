// Built against the effect definition's layer alone (no editor, toolkit or
// window system): that it links at all is half the test.
#include "shaper/EffParams.h"

#include <gtest/gtest.h>

#include <array>

TEST(ProcessingOnly, DefinitionWithoutEditorProcesses) {
  TEffParameters module(nullptr, TVSTEffectOnCreateEditor{});
  TVSTEffect& effect = *module.EffectProcessor();
  EXPECT_FALSE(effect.HasEditor);

  module.ParamHost()->SetSampleRate(44100);
  module.ParamHost()->SetBlockSize(16);
  ASSERT_NE(module.ShaperUnit(), nullptr);
  EXPECT_EQ(effect.CreateEditor(nullptr), nullptr);

  // A quiet impulse comes out, up to rounding, delayed by the kernel's centre slot.
  std::array<float, 16> left{}, right{}, outLeft{}, outRight{};
  left[0] = 0.5f;
  right[0] = -0.25f;
  TVSTEffectOnProcessRecord record{};
  record.Inputs[0] = left.data();
  record.Inputs[1] = right.data();
  record.Outputs[0] = outLeft.data();
  record.Outputs[1] = outRight.data();
  record.SampleFrames = 16;
  record.Replacing = -1;
  effect.ProcessS2S(&record);
  const int delay = effect.GetDelay();
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(outLeft[i], i == delay ? 0.5f : 0.0f, 1e-6f) << i;
    EXPECT_NEAR(outRight[i], i == delay ? -0.25f : 0.0f, 1e-6f) << i;
  }
}
