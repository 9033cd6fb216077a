#include "render/Levels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace glowrasp::render {

double toDbfs(double linear) {
  return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

void Levels::add(const float* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const double x = data[i];
    peak = std::max(peak, std::abs(x));
    sumOfSquares += x * x;
  }
  samples += count;
}

double Levels::peakDbfs() const {
  return toDbfs(peak);
}

double Levels::rmsDbfs() const {
  return samples ? toDbfs(std::sqrt(sumOfSquares / static_cast<double>(samples))) : toDbfs(0.0);
}

} // namespace glowrasp::render
