#include "shaper/ExtendedTrig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

long double UnitInLastPlace(long double x) {
  return std::ldexp(1.0L, std::ilogb(x) - 63);
}

// References from a 113-bit evaluation, rounded to the nearest long double.
// Arguments next to multiples of pi/2 need the reduction to carry pi far beyond
// 64 bits; the others check the polynomials across the quadrants.
TEST(ExtendedTrig, StaysWithinOneUnitInTheLastPlace) {
  struct TCase {
    long double X, Sin, Cos;
  };
  const TCase cases[] = {
      {0xc.90fdaa22168c235p-2L, -0xe.ce675d1fc8f8cbbp-68L, -0x8p-3L},        // pi
      {-0x9.6cbe3f9990e91a8p+1L, -0xd.8d66c2ebeb5d4c6p-64L, 0x8p-3L},        // -6 pi
      {-0xc.90fdbp-3L, -0xf.fffffffffffbb29p-4L, -0xb.bbd2e7b96766267p-28L}, // float pi/2
      {-0xa.4b5be489bbe4a81p-15L, -0xa.4b5be1b27169c08p-15L, 0xf.fffff2c0d4675fp-4L},
      {0xf.b53d14aa9c2f2c2p-1L, 0x8p-3L, -0xa.0804d19eecdbfa9p-69L}, // 5 pi / 2
      {0xc.90fdaa22168c235p-1L, 0xe.ce675d1fc8f8cbbp-67L, 0x8p-3L},  // 2 pi
      {0xcp-4L, 0xa.e7fe0b5fc786b2ep-4L, 0xb.b4ff632a908f73fp-4L},
      {0x9.333333333333333p-2L, 0xb.ee6896ac1791a5cp-4L, -0xa.a9110b9817f0e68p-4L},
      {-0x9.05eb8b07cd33811p+1L, 0xb.83b4e4afb97c91cp-4L, 0xb.1bfbc1a9d936655p-4L},
      {0xa.7c5ac471b478423p-20L, 0xa.7c5ac470f450f0ep-20L, 0xf.fffffffc906404cp-4L},
      {0xcp+1L, -0xe.7d3fbc8c8a0748p-4L, 0xd.92dfda85304cf07p-5L}, // 24
  };
  for (const TCase& c : cases) {
    EXPECT_LE(std::fabs(ExtendedSin(c.X) - c.Sin), UnitInLastPlace(c.Sin)) << double(c.X);
    EXPECT_LE(std::fabs(ExtendedCos(c.X) - c.Cos), UnitInLastPlace(c.Cos)) << double(c.X);
  }
}

TEST(ExtendedTrig, IsOddAndEven) {
  for (long double x = 0.001L; x < 24.0L; x += 0.0137L) {
    ASSERT_EQ(ExtendedSin(-x), -ExtendedSin(x)) << double(x);
    ASSERT_EQ(ExtendedCos(-x), ExtendedCos(x)) << double(x);
  }
}

} // namespace
