#include "render/Levels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace glowrasp::render {

double toDbfs(double linear) {
  return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

void Levels::add(const float* data, std::size_t count) {
  // Declared reductions let the loop become vector code; only the order of
  // the sum of squares depends on the vector width.
  double peak = 0.0;
  double sumOfSquares = 0.0;
#pragma omp simd reduction(max : peak) reduction(+ : sumOfSquares)
  for (std::size_t i = 0; i < count; ++i) {
    const double x = data[i];
    const double magnitude = std::abs(x);
    peak = magnitude > peak ? magnitude : peak;
    sumOfSquares += x * x;
  }
  merge(peak, sumOfSquares, count);
}

void Levels::merge(double peak, double sumOfSquares, std::size_t count) {
  FPeak = std::max(FPeak, peak);
  FSumOfSquares += sumOfSquares;
  FSamples += count;
}

double Levels::peakDbfs() const {
  return toDbfs(FPeak);
}

double Levels::rmsDbfs() const {
  return FSamples ? toDbfs(std::sqrt(FSumOfSquares / static_cast<double>(FSamples))) : toDbfs(0.0);
}

} // namespace glowrasp::render
