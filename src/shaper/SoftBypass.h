// A bypass that keeps the host's delay compensation right: while bypassed the
// outputs carry the inputs delayed by the effect's latency, and switching
// crossfades between the effect and that delayed input so it never clicks.
// The effect keeps running underneath, so once the fade back is over its
// output is exactly what it would have been without the bypass. Whenever it
// is neither bypassed nor fading, the effect writes the host's buffers
// itself, as if this class were not there.
#pragma once

#include <array>
#include <cstdint>

class TSoftBypass {
public:
  static constexpr int Delay = 6;
  static constexpr int FadeFrames = 64;
  // The effect's output goes through scratch buffers of this many frames
  // while a fade runs or the bypass is on.
  static constexpr int ChunkFrames = 256;

  // Wet(In1, In2, Out1, Out2, SampleFrames, Replacing) runs the effect.
  template <class Wet>
  void ProcessStereo(bool Bypassed, const float* In1, const float* In2, float* Out1, float* Out2,
                     std::int32_t SampleFrames, bool Replacing, Wet&& wet);
  // One input to both outputs; Out1 and Out2 may be one buffer.
  // Wet(In, Out1, Out2, SampleFrames, Replacing) runs the effect.
  template <class Wet>
  void ProcessMono(bool Bypassed, const float* In, float* Out1, float* Out2,
                   std::int32_t SampleFrames, bool Replacing, Wet&& wet);

  // Forgets the remembered input, as the effect forgets its state.
  void Clear();
  // Whether the next call hands the effect the whole block at once: no fade
  // runs and the bypass is off.
  bool PassesWhole(bool Bypassed) const { return !Bypassed && FFade <= 1; }

private:
  using TChunk = std::array<float, ChunkFrames>;

  // Frames to take through the scratch buffers now; 0 when the effect
  // writes the rest of the block itself.
  std::int32_t MixedFrames(bool Bypassed, std::int32_t Remaining);
  void Remember(const float* In1, const float* In2, std::int32_t SampleFrames);
  float Delayed(int Channel) const { return FDelay[Channel][FDelayPos]; }
  void Push(float Sample1, float Sample2);
  void Step(bool Bypassed);
  float Blend(float Effect, float Dry) const;
  void MixStereo(bool Bypassed, const float* In1, const float* In2, float* Out1, float* Out2,
                 std::int32_t SampleFrames, bool Replacing);
  void MixMono(bool Bypassed, const float* In, float* Out1, float* Out2, std::int32_t SampleFrames,
               bool Replacing);

  std::array<std::array<float, Delay>, 2> FDelay{};
  int FDelayPos = 0;
  int FFade = 0; // 0: the effect alone; FadeFrames: the delayed input alone
  std::array<TChunk, 2> FWet{};
};

template <class Wet>
void TSoftBypass::ProcessStereo(bool Bypassed, const float* In1, const float* In2, float* Out1,
                                float* Out2, std::int32_t SampleFrames, bool Replacing, Wet&& wet) {
  for (std::int32_t done = 0; done < SampleFrames;) {
    const std::int32_t rest = SampleFrames - done;
    const std::int32_t n = MixedFrames(Bypassed, rest);
    if (n == 0) {
      // Before the effect runs: the host may process in place.
      Remember(In1 + done, In2 + done, rest);
      wet(In1 + done, In2 + done, Out1 + done, Out2 + done, rest, Replacing);
      return;
    }
    wet(In1 + done, In2 + done, FWet[0].data(), FWet[1].data(), n, true);
    MixStereo(Bypassed, In1 + done, In2 + done, Out1 + done, Out2 + done, n, Replacing);
    done += n;
  }
}

template <class Wet>
void TSoftBypass::ProcessMono(bool Bypassed, const float* In, float* Out1, float* Out2,
                              std::int32_t SampleFrames, bool Replacing, Wet&& wet) {
  for (std::int32_t done = 0; done < SampleFrames;) {
    const std::int32_t rest = SampleFrames - done;
    const std::int32_t n = MixedFrames(Bypassed, rest);
    if (n == 0) {
      Remember(In + done, In + done, rest);
      wet(In + done, Out1 + done, Out2 + done, rest, Replacing);
      return;
    }
    wet(In + done, FWet[0].data(), FWet[0].data(), n, true);
    MixMono(Bypassed, In + done, Out1 + done, Out2 + done, n, Replacing);
    done += n;
  }
}
