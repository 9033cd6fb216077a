#include "shaper/ShaperUnit.h"

#include "base/ExtendedPrecision.h"
#include "shaper/ExtendedTrig.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace {

constexpr int CentreSlot = TShaperUnit::KernelLength / 2;
constexpr int LastIndex = TShaperUnit::KernelCount - 1;

// Extended precision throughout the table, with our own sine and cosine: the
// table comes out bit for bit the same wherever long double is the x87 format.
constexpr long double Pi = 3.14159265358979323846264338327950288L;
// The float nearest pi/6; it lies slightly above, which leaves the outermost
// window tap a tiny negative number instead of zero.
constexpr float WindowStep = 0.52359879016876220703125f;

// Half-cosine window; it depends on the tap offset only, so it is computed once
// per offset instead of once per kernel.
std::array<double, TShaperUnit::KernelLength> WindowTaps() {
  std::array<double, TShaperUnit::KernelLength> taps{};
  for (int j = 0; j < TShaperUnit::KernelLength - 1; ++j) {
    const int n = j - CentreSlot;
    taps[j] = static_cast<double>(ExtendedCos((0.5L * WindowStep) * n));
  }
  return taps;
}

void BuildKernel(int k, const std::array<double, TShaperUnit::KernelLength>& window, float* slots) {
  const float cutoff = static_cast<float>(1.0L - static_cast<long double>(k) / 60000.0L);
  for (int j = 0; j < TShaperUnit::KernelLength - 1; ++j) {
    const int n = j - CentreSlot;
    const long double phase = Pi * n;
    const double lowPass =
        n == 0 ? cutoff : static_cast<double>(ExtendedSin(phase * cutoff) / phase);
    slots[j] = static_cast<float>(static_cast<long double>(window[j]) * lowPass);
  }
  slots[TShaperUnit::KernelLength - 1] = 0.0f;
}

// Products of two floats are exact in double, so each of these rounds exactly
// once to double and once more at the float store.
float MultiplyAdd(float Sum, float A, float B) {
  return static_cast<float>(static_cast<double>(Sum) +
                            static_cast<double>(A) * static_cast<double>(B));
}

float Scaled(float Slot, float Gain) {
  return static_cast<float>(static_cast<double>(Slot) * static_cast<double>(Gain));
}

float Emit(float Slot, float Gain, float Previous, bool Replacing) {
  return Replacing ? Scaled(Slot, Gain) : MultiplyAdd(Previous, Slot, Gain);
}

// Turns the scaled excess into a table index. Non-finite and negative values
// must never reach the integer conversion: an infinite excess over an infinite
// magnitude picks the strongest kernel, everything else undefined picks none.
int KernelIndex(double Scaled, float Excess) {
  if (Scaled >= LastIndex)
    return LastIndex;
  if (Scaled > 0.0)
    return static_cast<int>(Scaled);
  return std::isnan(Scaled) && Excess > 0.0f ? LastIndex : 0;
}

} // namespace

TShaperUnit::TShaperUnit() : FKernelBlock(static_cast<std::size_t>(KernelCount) * KernelLength) {
  const TExtendedPrecision precision;
  const auto window = WindowTaps();
  for (int k = 0; k < KernelCount; ++k)
    BuildKernel(k, window, FKernelBlock.data() + static_cast<std::size_t>(k) * KernelLength);
}

TShaperUnit::~TShaperUnit() = default;

void TShaperUnit::Clear() {
  FRing1.fill(0.0f);
  FRing2.fill(0.0f);
}

std::span<const float, TShaperUnit::KernelLength> TShaperUnit::Kernel(int k) const {
  return std::span<const float, KernelLength>(
      FKernelBlock.data() + static_cast<std::size_t>(k) * KernelLength, KernelLength);
}

int TShaperUnit::ChooseKernel(float x) const {
  const float a = std::fabs(x * DriveGain.load(std::memory_order_relaxed));
  // NaN fails both comparisons and so keeps kernel 0.
  if (!(a > 1.0f))
    return 0;
  const float b = static_cast<float>(
      ((static_cast<double>(a) - 1.0) * Intensity.load(std::memory_order_relaxed)) * 5.0);
  return KernelIndex((static_cast<double>(b) / a) * LastIndex, b);
}

void TShaperUnit::AddKernel(TRing& Ring, float Sample, std::int32_t Position) const {
  const float* h = Kernel(ChooseKernel(Sample)).data();
  // The ring wraps once: taps 0 to 12 - Position fill the slots from Position
  // to the end, the remaining taps the slots from the start.
  const int head = KernelLength - Position;
  for (int j = 0; j < head; ++j)
    Ring[Position + j] = MultiplyAdd(Ring[Position + j], Sample, h[j]);
  for (int j = head; j < KernelLength; ++j)
    Ring[j - head] = MultiplyAdd(Ring[j - head], Sample, h[j]);
}

void TShaperUnit::Advance() {
  FRing1[FRingPos] = 0.0f;
  FRing2[FRingPos] = 0.0f;
  FRingPos = FRingPos == KernelLength - 1 ? 0 : FRingPos + 1;
}

void TShaperUnit::ProcessStereo(const float* In1, const float* In2, float* Out1, float* Out2,
                                std::int32_t SampleFrames, bool Replacing) {
  for (std::int32_t i = 0; i < SampleFrames; ++i) {
    // Both inputs are read before either output is written: the host may
    // process in place.
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

void TShaperUnit::ProcessMono(const float* In, float* Out1, float* Out2, std::int32_t SampleFrames,
                              bool Replacing) {
  for (std::int32_t i = 0; i < SampleFrames; ++i) {
    AddKernel(FRing1, In[i], FRingPos);
    // One gain for both outputs so that they never see different settings.
    const float gain = OutputGain.load(std::memory_order_relaxed);
    const float slot = FRing1[FRingPos];
    Out1[i] = Emit(slot, gain, Out1[i], Replacing);
    // Accumulating keeps each output's own content; a buffer given as both
    // outputs receives the result once.
    if (Out2 != Out1)
      Out2[i] = Emit(slot, gain, Out2[i], Replacing);
    Advance();
  }
}
