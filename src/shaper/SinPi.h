// sin(pi f) in double precision from the four basic operations only, so that
// it gives the same bits on every build: the C library's sine differs between
// platforms in the last place. Inline and branch-free, so a loop over many
// arguments becomes vector code with the same bits in every lane.
#pragma once

#include <array>

namespace sinpi_detail {

constexpr double Pi = 3.141592653589793238462643383279502884;
// Terms up to (pi f)^23; for |pi f| <= pi/2 the first one left out is below
// 2^-60 of the result.
constexpr int TermCount = 12;

// Coefficient of f^(2i+1): (-1)^i pi^(2i+1) / (2i+1)!.
constexpr auto Coefficients = [] {
  std::array<double, TermCount> c{};
  double term = Pi;
  for (int i = 0; i < TermCount; ++i) {
    c[i] = term;
    term *= -Pi * Pi / ((2.0 * i + 2.0) * (2.0 * i + 3.0));
  }
  return c;
}();

} // namespace sinpi_detail

// Within 2^-51 relative error for |f| <= 1/2, the range it is meant for. An
// odd function bit for bit: SinPi(-f) is exactly -SinPi(f).
inline double SinPi(double f) {
  using sinpi_detail::Coefficients;
  using sinpi_detail::TermCount;
  const double z = f * f;
  double tail = Coefficients[TermCount - 1];
  for (int i = TermCount - 2; i >= 1; --i)
    tail = tail * z + Coefficients[i];
  // The leading term carries most of the value; the tail, at most two thirds
  // of it, is added to it once.
  return f * Coefficients[0] + (f * z) * tail;
}
