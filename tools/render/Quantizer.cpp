#include "render/Quantizer.h"

#include <algorithm>
#include <cmath>

namespace glowrasp::render {
namespace {

// The noise counter's step: odd, so it visits every value before repeating.
// The counter starts at zero: the same input gives the same file on every run.
constexpr std::uint64_t kNoiseStep = 0x9E3779B97F4A7C15u;
// Below this magnitude a double may have a fraction; from it on it has none.
constexpr double kFirstWhole = 0x1p52;

// To the nearest integer, halves to even as the default rounding mode does:
// adding 2^52 leaves no bits for a fraction, so the addition itself rounds.
// nearbyint does the same but is a library call on the baseline instruction set.
double roundToNearest(double x) {
  if (!(std::abs(x) < kFirstWhole))
    return x;
  return x >= 0.0 ? (x + kFirstWhole) - kFirstWhole : (x - kFirstWhole) + kFirstWhole;
}

} // namespace

Quantizer::Quantizer(int bits, bool dither)
    : FScale(std::ldexp(1.0, bits - 1)), FMin(-(std::int64_t{1} << (bits - 1))),
      FMax((std::int64_t{1} << (bits - 1)) - 1), FShift(32 - bits), FDither(dither && bits < 32),
      FNoiseCounter(0) {}

double Quantizer::nextDither() {
  // Each value is a hash of a counter (the splitmix64 finaliser), so no
  // sample waits for the one before; its halves are the two uniform values.
  std::uint64_t z = FNoiseCounter += kNoiseStep;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  z ^= z >> 31;
  const auto high = static_cast<std::int64_t>(z >> 32);
  const auto low = static_cast<std::int64_t>(z & 0xFFFFFFFFu);
  return static_cast<double>(high - low) * 0x1p-32;
}

void Quantizer::convert(const float* in, std::int32_t* out, std::size_t count) {
  // The running figures stay in registers through the loop.
  double peak = FPeak;
  std::uint64_t clipped = FClipped;
  const double lowest = static_cast<double>(FMin);
  const double highest = static_cast<double>(FMax);
  for (std::size_t i = 0; i < count; ++i) {
    const double x = in[i];
    const double magnitude = std::abs(x);
    peak = magnitude > peak ? magnitude : peak;
    double scaled = x * FScale;
    if (FDither)
      scaled += nextDither();
    // NaN counts as silence.
    const double rounded = std::isnan(scaled) ? 0.0 : roundToNearest(scaled);
    const double limited = rounded < lowest ? lowest : (rounded > highest ? highest : rounded);
    clipped += limited != rounded;
    out[i] =
        static_cast<std::int32_t>(static_cast<std::int64_t>(limited) * (std::int64_t{1} << FShift));
  }
  FPeak = peak;
  FClipped = clipped;
}

} // namespace glowrasp::render
