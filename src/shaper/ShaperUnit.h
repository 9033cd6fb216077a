// The shaper's signal processor: every sample is spread into a 13-slot delay
// ring through one of 60000 precomputed low-pass kernels, chosen from how far
// the driven sample overshoots full scale.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

class TShaperUnit {
public:
  static constexpr int KernelCount = 60000;
  static constexpr int KernelLength = 13;

  // Builds the kernel table (the only expensive step) and clears the rings.
  TShaperUnit();
  ~TShaperUnit();
  TShaperUnit(const TShaperUnit&) = delete;
  TShaperUnit& operator=(const TShaperUnit&) = delete;

  // Empties both rings; the ring position and the settings stay.
  void Clear();
  void ProcessStereo(const float* In1, const float* In2, float* Out1, float* Out2,
                     std::int32_t SampleFrames, bool Replacing);
  void ProcessMono(const float* In, float* Out1, float* Out2, std::int32_t SampleFrames,
                   bool Replacing);

  // Written from any thread, read afresh for every sample by the audio thread.
  std::atomic<float> DriveGain{0.0f};
  std::atomic<float> Intensity{0.0f};
  std::atomic<float> OutputGain{0.0f};

  std::span<const float, KernelLength> Kernel(int k) const;
  const float* KernelBlock() const { return FKernelBlock.data(); }
  int ChooseKernel(float x) const;
  std::int32_t RingPos() const { return FRingPos; }
  std::span<const float, KernelLength> Ring1() const { return FRing1; }
  std::span<const float, KernelLength> Ring2() const { return FRing2; }

private:
  using TRing = std::array<float, KernelLength>;

  void AddKernel(TRing& Ring, float Sample, std::int32_t Position) const;
  void Advance();

  std::vector<float> FKernelBlock;
  TRing FRing1{};
  TRing FRing2{};
  std::int32_t FRingPos = 0;
};
