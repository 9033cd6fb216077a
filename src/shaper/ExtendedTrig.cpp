#include "shaper/ExtendedTrig.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace {

// A value carried as an unevaluated sum of two long doubles.
struct TPair {
  long double Hi, Lo;
};

// pi/2 as three pieces. The first two hold 60 significant bits, so their
// products with a quadrant number below 16 are exact; the sum reaches 184 bits,
// enough to keep the full significand of arguments just beside a multiple of
// pi/2.
constexpr long double HalfPi1 = 0x1.921fb54442d18460p+0L;
constexpr long double HalfPi2 = 0x1.313198a2e0370720p-61L;
constexpr long double HalfPi3 = 0x1.44a4093822299f30p-121L;
constexpr long double TwoOverPi = 0x1.45f306dc9c882a52p-1L;

// Sum and rounding error of a + b, exactly.
TPair TwoSum(long double a, long double b) {
  const long double s = a + b;
  const long double v = s - a;
  return {s, (a - (s - v)) + (b - v)};
}

// Square and rounding error of a, exactly (Veltkamp split into 32-bit halves).
TPair TwoSquare(long double a) {
  constexpr long double Splitter = 0x1p32L + 1.0L;
  const long double c = Splitter * a;
  const long double high = c - (c - a);
  const long double low = a - high;
  const long double square = a * a;
  return {square, ((high * high - square) + 2.0L * high * low) + low * low};
}

// Taylor terms up to r^23 (sine) and r^22 (cosine); for |r| <= pi/4 the first
// term left out is below 2^-80 of the result.
constexpr std::size_t LastTerm = 11;

// Taylor coefficient of r^p in sine or cosine, with its sign: (-1)^(p/2) / p!.
constexpr auto Taylor = [] {
  std::array<long double, 2 * LastTerm + 2> coefficients{};
  long double factorial = 1.0L;
  for (int p = 0; p < static_cast<int>(coefficients.size()); ++p) {
    if (p > 1)
      factorial *= p;
    coefficients[p] = ((p / 2) % 2 == 1 ? -1.0L : 1.0L) / factorial;
  }
  return coefficients;
}();

// sin(r) / r - 1 as a polynomial in z = r^2.
long double SinTail(long double z) {
  long double sum = Taylor[2 * LastTerm + 1];
  for (std::size_t k = LastTerm - 1; k >= 1; --k)
    sum = sum * z + Taylor[2 * k + 1];
  return sum * z;
}

// cos(r) - 1 + r^2 / 2 as a polynomial in z = r^2.
long double CosTail(long double z) {
  long double sum = Taylor[2 * LastTerm];
  for (std::size_t k = LastTerm - 1; k >= 2; --k)
    sum = sum * z + Taylor[2 * k];
  return sum * z * z;
}

long double SinReduced(TPair r) {
  const long double z = r.Hi * r.Hi;
  // sin(hi + lo) = sin(hi) + lo cos(hi); lo is far below an ulp of hi, so the
  // first two terms of cos(hi) are plenty.
  const long double tail = r.Hi * SinTail(z) + r.Lo * (1.0L - 0.5L * z);
  return r.Hi + tail;
}

long double CosReduced(TPair r) {
  const TPair z = TwoSquare(r.Hi);
  const long double half = 0.5L * z.Hi;
  const long double head = 1.0L - half;
  // What the subtraction above lost, exactly (head lies within a factor of two
  // of 1).
  const long double lost = (1.0L - head) - half;
  const long double tail = (CosTail(z.Hi) + lost) - 0.5L * z.Lo - r.Lo * r.Hi;
  return head + tail;
}

// x = Quadrant * pi/2 + R with |R| <= pi/4 (a little more at the rounding
// edge), R carried to about twice the working precision.
struct TReduced {
  int Quadrant;
  TPair R;
};

TReduced Reduce(long double x) {
  const long double q = std::nearbyint(x * TwoOverPi);
  // Exact: q * HalfPi1 is exact and lies within a factor of two of x.
  const long double t = x - q * HalfPi1;
  const TPair r = TwoSum(t, -(q * HalfPi2));
  return {static_cast<int>(q) & 3, TwoSum(r.Hi, r.Lo - q * HalfPi3)};
}

} // namespace

long double ExtendedSin(long double x) {
  const auto [quadrant, r] = Reduce(x);
  switch (quadrant) {
  case 0:
    return SinReduced(r);
  case 1:
    return CosReduced(r);
  case 2:
    return -SinReduced(r);
  default:
    return -CosReduced(r);
  }
}

long double ExtendedCos(long double x) {
  const auto [quadrant, r] = Reduce(x);
  switch (quadrant) {
  case 0:
    return CosReduced(r);
  case 1:
    return -SinReduced(r);
  case 2:
    return -CosReduced(r);
  default:
    return SinReduced(r);
  }
}
