// The shaper as first written: one sample at a time, straight from the
// definition, with a 13-float kernel table of its own built in extended
// precision. The optimised processor must match it bit for bit; the tests and
// the benchmarks hold the two side by side.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

class TReferenceShaper {
public:
  static constexpr int KernelCount = 60000;
  static constexpr int KernelLength = 13;
  using TKernel = std::array<float, KernelLength>;

  TReferenceShaper();

  void Clear();
  void ProcessStereo(const float* In1, const float* In2, float* Out1, float* Out2,
                     std::int32_t SampleFrames, bool Replacing);
  void ProcessMono(const float* In, float* Out1, float* Out2, std::int32_t SampleFrames,
                   bool Replacing);

  // Read afresh for every sample.
  std::atomic<float> DriveGain{0.0f};
  std::atomic<float> Intensity{0.0f};
  std::atomic<float> OutputGain{0.0f};

  // Built once per process, on first use, and shared.
  static std::span<const TKernel> Kernels();
  int ChooseKernel(float x) const;
  std::int32_t RingPos() const { return FRingPos; }
  const TKernel& Ring1() const { return FRing1; }
  const TKernel& Ring2() const { return FRing2; }

private:
  void AddKernel(TKernel& Ring, float Sample, std::int32_t Position) const;
  void Advance();

  const TKernel* FKernels;
  TKernel FRing1{};
  TKernel FRing2{};
  std::int32_t FRingPos = 0;
};
