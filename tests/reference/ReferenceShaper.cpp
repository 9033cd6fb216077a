#include "ReferenceShaper.h"

#include "base/ExtendedPrecision.h"
#include "shaper/ExtendedTrig.h"

#include <cmath>
#include <vector>

namespace {

constexpr int CentreSlot = TReferenceShaper::KernelLength / 2;
constexpr int LastIndex = TReferenceShaper::KernelCount - 1;
constexpr long double Pi = 3.14159265358979323846264338327950288L;
constexpr float WindowStep = 0.52359879016876220703125f;

void BuildKernel(int k, TReferenceShaper::TKernel& Slots) {
  const float cutoff = static_cast<float>(1.0L - static_cast<long double>(k) / 60000.0L);
  for (int j = 0; j < TReferenceShaper::KernelLength - 1; ++j) {
    const int n = j - CentreSlot;
    const double window = static_cast<double>(ExtendedCos((0.5L * WindowStep) * n));
    const long double phase = Pi * n;
    const double lowPass =
        n == 0 ? cutoff : static_cast<double>(ExtendedSin(phase * cutoff) / phase);
    Slots[j] = static_cast<float>(static_cast<long double>(window) * lowPass);
  }
  Slots[TReferenceShaper::KernelLength - 1] = 0.0f;
}

float MultiplyAdd(float Sum, float A, float B) {
  return static_cast<float>(static_cast<double>(Sum) +
                            static_cast<double>(A) * static_cast<double>(B));
}

float Emit(float Slot, float Gain, float Previous, bool Replacing) {
  return Replacing ? static_cast<float>(static_cast<double>(Slot) * static_cast<double>(Gain))
                   : MultiplyAdd(Previous, Slot, Gain);
}

int KernelIndex(double Scaled, float Excess) {
  if (Scaled >= LastIndex)
    return LastIndex;
  if (Scaled > 0.0)
    return static_cast<int>(Scaled);
  return std::isnan(Scaled) && Excess > 0.0f ? LastIndex : 0;
}

} // namespace

std::span<const TReferenceShaper::TKernel> TReferenceShaper::Kernels() {
  static const std::vector<TKernel> kernels = [] {
    const TExtendedPrecision precision;
    std::vector<TKernel> table(KernelCount);
    for (int k = 0; k < KernelCount; ++k)
      BuildKernel(k, table[k]);
    return table;
  }();
  return kernels;
}

TReferenceShaper::TReferenceShaper() : FKernels(Kernels().data()) {}

void TReferenceShaper::Clear() {
  FRing1.fill(0.0f);
  FRing2.fill(0.0f);
}

int TReferenceShaper::ChooseKernel(float x) const {
  const float a = std::fabs(x * DriveGain.load(std::memory_order_relaxed));
  if (!(a > 1.0f))
    return 0;
  const float b = static_cast<float>(
      ((static_cast<double>(a) - 1.0) * Intensity.load(std::memory_order_relaxed)) * 5.0);
  return KernelIndex((static_cast<double>(b) / a) * LastIndex, b);
}

void TReferenceShaper::AddKernel(TKernel& Ring, float Sample, std::int32_t Position) const {
  const TKernel& h = FKernels[ChooseKernel(Sample)];
  const int head = KernelLength - Position;
  for (int j = 0; j < head; ++j)
    Ring[Position + j] = MultiplyAdd(Ring[Position + j], Sample, h[j]);
  for (int j = head; j < KernelLength; ++j)
    Ring[j - head] = MultiplyAdd(Ring[j - head], Sample, h[j]);
}

void TReferenceShaper::Advance() {
  FRing1[FRingPos] = 0.0f;
  FRing2[FRingPos] = 0.0f;
  FRingPos = FRingPos == KernelLength - 1 ? 0 : FRingPos + 1;
}

void TReferenceShaper::ProcessStereo(const float* In1, const float* In2, float* Out1, float* Out2,
                                     std::int32_t SampleFrames, bool Replacing) {
  for (std::int32_t i = 0; i < SampleFrames; ++i) {
    const float x1 = In1[i];
    const float x2 = In2[i];
    AddKernel(FRing1, x1, FRingPos);
    AddKernel(FRing2, x2, FRingPos);
    Out1[i] =
        Emit(FRing1[FRingPos], OutputGain.load(std::memory_order_relaxed), Out1[i], Replacing);
    Out2[i] =
        Emit(FRing2[FRingPos], OutputGain.load(std::memory_order_relaxed), Out2[i], Replacing);
    Advance();
  }
}

void TReferenceShaper::ProcessMono(const float* In, float* Out1, float* Out2,
                                   std::int32_t SampleFrames, bool Replacing) {
  for (std::int32_t i = 0; i < SampleFrames; ++i) {
    AddKernel(FRing1, In[i], FRingPos);
    const float gain = OutputGain.load(std::memory_order_relaxed);
    const float slot = FRing1[FRingPos];
    Out1[i] = Emit(slot, gain, Out1[i], Replacing);
    if (Out2 != Out1)
      Out2[i] = Emit(slot, gain, Out2[i], Replacing);
    Advance();
  }
}
