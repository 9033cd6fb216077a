#include "render/Quantizer.h"

#include <algorithm>
#include <cmath>

namespace glowrasp::render {
namespace {

// The noise counter's step: odd, so it visits every value before repeating.
// The counter starts at zero: the same input gives the same file on every run.
constexpr std::uint64_t kNoiseStep = 0x9E3779B97F4A7C15u;
// Adding this to a double of smaller magnitude leaves no bits for a
// fraction, so the addition itself rounds to an integer, halves to even as
// nearbyint does (which is a library call on the baseline instruction set).
constexpr double kRounder = 0x1p52;

// The difference of two uniform values: the triangular density, ±1 step.
// Each value is a hash of a counter (the splitmix64 finaliser), so no sample
// waits for the one before; the hash's halves are the two uniform values.
double ditherAt(std::uint64_t counter) {
  std::uint64_t z = counter;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  z ^= z >> 31;
  const auto high = static_cast<std::int64_t>(z >> 32);
  const auto low = static_cast<std::int64_t>(z & 0xFFFFFFFFu);
  return static_cast<double>(high - low) * 0x1p-32;
}

} // namespace

Quantizer::Quantizer(int bits, bool dither)
    : FScale(std::ldexp(1.0, bits - 1)), FStep(std::ldexp(1.0, 1 - bits)),
      FMin(-(std::int64_t{1} << (bits - 1))), FMax((std::int64_t{1} << (bits - 1)) - 1),
      FShift(32 - bits), FDither(dither && bits < 32), FNoiseCounter(0) {}

void Quantizer::convert(const float* in, std::int32_t* out, std::size_t count, Levels& written) {
  if (FDither)
    convertSamples<true>(in, out, count, written);
  else
    convertSamples<false>(in, out, count, written);
}

template <bool Dither>
void Quantizer::convertSamples(const float* in, std::int32_t* out, std::size_t count,
                               Levels& written) {
  // The running figures stay in registers, and the loop has no branch that
  // depends on the signal.
  double peak = FPeak;
  std::uint64_t clipped = FClipped;
  std::uint64_t counter = FNoiseCounter;
  double writtenPeak = written.peak;
  double writtenSquares = written.sumOfSquares;
  const double lowest = static_cast<double>(FMin);
  const double highest = static_cast<double>(FMax);
  for (std::size_t i = 0; i < count; ++i) {
    const double x = in[i];
    const double magnitude = std::abs(x);
    peak = magnitude > peak ? magnitude : peak;
    double scaled = x * FScale;
    if constexpr (Dither)
      scaled += ditherAt(counter += kNoiseStep);
    // NaN counts as silence. Anything beyond a step past the limits clips
    // alike, and what is left is small enough for the rounding addition.
    const double bounded = std::clamp(scaled == scaled ? scaled : 0.0, lowest - 1.0, highest + 1.0);
    const double rounder = std::copysign(kRounder, bounded);
    const double rounded = (bounded + rounder) - rounder;
    const double limited = std::clamp(rounded, lowest, highest);
    clipped += limited != rounded;
    // The written sample at full scale 1: a power of two apart, so exact.
    const double level = limited * FStep;
    writtenPeak = std::max(writtenPeak, std::abs(level));
    writtenSquares += level * level;
    out[i] = static_cast<std::int32_t>(static_cast<std::int64_t>(limited) << FShift);
  }
  FPeak = peak;
  FClipped = clipped;
  FNoiseCounter = counter;
  written.peak = writtenPeak;
  written.sumOfSquares = writtenSquares;
  written.samples += count;
}

} // namespace glowrasp::render
