// Peak and RMS of the samples a render reads or writes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glowrasp::render {

struct Levels {
  double peak = 0.0;
  double sumOfSquares = 0.0;
  std::uint64_t samples = 0;

  void add(const float* samples, std::size_t count);
  double peakDbfs() const;
  double rmsDbfs() const;
};

double toDbfs(double linear);

} // namespace glowrasp::render
