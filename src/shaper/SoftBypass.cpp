#include "shaper/SoftBypass.h"

#include <algorithm>

void TSoftBypass::Clear() {
  for (auto& channel : FDelay)
    channel.fill(0.0f);
}

// The fade back stops one step short of weight 0 and hands over to the
// effect writing the host's buffers itself: from that frame on, accumulating
// included, the output is the effect's own to the last bit.
std::int32_t TSoftBypass::MixedFrames(bool Bypassed, std::int32_t Remaining) {
  if (!Bypassed && FFade <= 1) {
    FFade = 0;
    return 0;
  }
  const std::int32_t n = std::min<std::int32_t>(Remaining, ChunkFrames);
  return Bypassed ? n : std::min<std::int32_t>(n, FFade - 1);
}

void TSoftBypass::Push(float Sample1, float Sample2) {
  FDelay[0][FDelayPos] = Sample1;
  FDelay[1][FDelayPos] = Sample2;
  FDelayPos = FDelayPos == Delay - 1 ? 0 : FDelayPos + 1;
}

void TSoftBypass::Remember(const float* In1, const float* In2, std::int32_t SampleFrames) {
  if (SampleFrames < Delay) {
    for (std::int32_t i = 0; i < SampleFrames; ++i)
      Push(In1[i], In2[i]);
    return;
  }
  // A whole delay line's worth: the last samples in order, oldest first.
  std::copy_n(In1 + SampleFrames - Delay, Delay, FDelay[0].begin());
  std::copy_n(In2 + SampleFrames - Delay, Delay, FDelay[1].begin());
  FDelayPos = 0;
}

void TSoftBypass::Step(bool Bypassed) {
  if (Bypassed && FFade < FadeFrames)
    ++FFade;
  else if (!Bypassed && FFade > 0)
    --FFade;
}

// The ends are taken whole, so that neither side's non-finite samples nor
// its zero signs leak into the other.
float TSoftBypass::Blend(float Effect, float Dry) const {
  if (FFade == 0)
    return Effect;
  if (FFade == FadeFrames)
    return Dry;
  constexpr float step = 1.0f / FadeFrames;
  const float w = static_cast<float>(FFade) * step;
  return Effect * (1.0f - w) + Dry * w;
}

void TSoftBypass::MixStereo(bool Bypassed, const float* In1, const float* In2, float* Out1,
                            float* Out2, std::int32_t SampleFrames, bool Replacing) {
  for (std::int32_t i = 0; i < SampleFrames; ++i) {
    // Both inputs are read before either output is written (in place).
    const float x1 = In1[i];
    const float x2 = In2[i];
    const float dry1 = Delayed(0);
    const float dry2 = Delayed(1);
    Push(x1, x2);
    Step(Bypassed);
    const float y1 = Blend(FWet[0][i], dry1);
    const float y2 = Blend(FWet[1][i], dry2);
    Out1[i] = Replacing ? y1 : Out1[i] + y1;
    Out2[i] = Replacing ? y2 : Out2[i] + y2;
  }
}

void TSoftBypass::MixMono(bool Bypassed, const float* In, float* Out1, float* Out2,
                          std::int32_t SampleFrames, bool Replacing) {
  for (std::int32_t i = 0; i < SampleFrames; ++i) {
    const float x = In[i];
    const float dry = Delayed(0);
    Push(x, x);
    Step(Bypassed);
    const float y = Blend(FWet[0][i], dry);
    Out1[i] = Replacing ? y : Out1[i] + y;
    // A buffer given as both outputs receives the result once.
    if (Out2 != Out1)
      Out2[i] = Replacing ? y : Out2[i] + y;
  }
}
