#include "render/Quantizer.h"

#include <algorithm>
#include <cmath>

namespace glowrasp::render {
namespace {

// A fixed seed: the same input gives the same file on every run.
constexpr std::uint64_t kNoiseSeed = 0x9E3779B97F4A7C15u;

} // namespace

Quantizer::Quantizer(int bits, bool dither)
    : FScale(std::ldexp(1.0, bits - 1)), FMin(-(std::int64_t{1} << (bits - 1))),
      FMax((std::int64_t{1} << (bits - 1)) - 1), FShift(32 - bits), FDither(dither && bits < 32),
      FNoiseState(kNoiseSeed) {}

double Quantizer::nextDither() {
  // xorshift64*: fast and good enough for noise below one step.
  const auto next = [this] {
    FNoiseState ^= FNoiseState >> 12;
    FNoiseState ^= FNoiseState << 25;
    FNoiseState ^= FNoiseState >> 27;
    return static_cast<double>((FNoiseState * 0x2545F4914F6CDD1Du) >> 11) * 0x1p-53;
  };
  const double first = next();
  return first - next();
}

void Quantizer::convert(const float* in, std::int32_t* out, std::size_t count) {
  // The running figures stay in registers through the loop.
  double peak = FPeak;
  std::uint64_t clipped = FClipped;
  for (std::size_t i = 0; i < count; ++i) {
    const double x = in[i];
    const double magnitude = std::abs(x);
    peak = magnitude > peak ? magnitude : peak;
    double scaled = x * FScale;
    if (FDither)
      scaled += nextDither();
    // Halves to even, as the default rounding mode does; NaN counts as silence.
    const double rounded = std::isnan(scaled) ? 0.0 : std::nearbyint(scaled);
    const double lowest = static_cast<double>(FMin);
    const double highest = static_cast<double>(FMax);
    const double limited = rounded < lowest ? lowest : (rounded > highest ? highest : rounded);
    if (limited != rounded)
      ++clipped;
    out[i] =
        static_cast<std::int32_t>(static_cast<std::int64_t>(limited) * (std::int64_t{1} << FShift));
  }
  FPeak = peak;
  FClipped = clipped;
}

} // namespace glowrasp::render
