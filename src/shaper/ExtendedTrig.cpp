#include "shaper/ExtendedTrig.h"

#include <cmath>

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

constexpr long double InverseFactorial(int n) {
  long double factorial = 1.0L;
  for (int i = 2; i <= n; ++i)
    factorial *= i;
  return 1.0L / factorial;
}

// Taylor terms up to r^23 (sine) and r^22 (cosine); for |r| <= pi/4 the first
// term left out is below 2^-80 of the result.
constexpr int LastTerm = 11;

constexpr long double Term(int Power) {
  return (Power / 2) % 2 == 1 ? -InverseFactorial(Power) : InverseFactorial(Power);
}

// sin(r) / r - 1 as a polynomial in z = r^2.
long double SinTail(long double z) {
  long double sum = Term(2 * LastTerm + 1);
  for (int k = LastTerm - 1; k >= 1; --k)
    sum = sum * z + Term(2 * k + 1);
  return sum * z;
}

// cos(r) - 1 + r^2 / 2 as a polynomial in z = r^2.
long double CosTail(long double z) {
  long double sum = Term(2 * LastTerm);
  for (int k = LastTerm - 1; k >= 2; --k)
    sum = sum * z + Term(2 * k);
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
  const long double tail = (CosTail(z.Hi) - lost) - 0.5L * z.Lo - r.Lo * r.Hi;
  return head + tail;
}

// x = quadrant * pi/2 + r with |r| <= pi/4 (a little more at the rounding
// edge), r carried to about twice the working precision.
TPair Reduce(long double x, long long& Quadrant) {
  const long double q = std::nearbyint(x * TwoOverPi);
  Quadrant = static_cast<long long>(q);
  // Exact: q * HalfPi1 is exact and lies within a factor of two of x.
  const long double t = x - q * HalfPi1;
  const TPair r = TwoSum(t, -(q * HalfPi2));
  return TwoSum(r.Hi, r.Lo - q * HalfPi3);
}

} // namespace

long double ExtendedSin(long double x) {
  long long quadrant = 0;
  const TPair r = Reduce(x, quadrant);
  switch (quadrant & 3) {
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
  long long quadrant = 0;
  const TPair r = Reduce(x, quadrant);
  switch (quadrant & 3) {
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
