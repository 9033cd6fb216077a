// Peak and RMS of the samples a render reads or writes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glowrasp::render {

class Levels {
public:
  void add(const float* samples, std::size_t count);
  // Figures a loop of its own gathered: the peak magnitude and the sum of
  // squares of count samples.
  void merge(double peak, double sumOfSquares, std::size_t count);

  double peak() const { return FPeak; }
  double peakDbfs() const;
  double rmsDbfs() const;

private:
  double FPeak = 0.0;
  double FSumOfSquares = 0.0;
  std::uint64_t FSamples = 0;
};

double toDbfs(double linear);

} // namespace glowrasp::render
