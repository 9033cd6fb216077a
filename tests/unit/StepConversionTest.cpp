// The conversions that run at every automated change were moved from 64-bit
// long double arithmetic to doubles and tables of powers. Every one of the
// 10^6 steps of each parameter must still give the float the
// extended-precision formula gives: the sound and the values hosts read back
// depend on it bit for bit.
#include "base/ExtendedPrecision.h"
#include "params/VSTParameter.h"
#include "shaper/DecibelSteps.h"
#include "shaper/EffParams.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr std::int32_t kSteps = kParameterTable[0].StepCount;

float ExtendedQuotient(std::int32_t numerator, std::int32_t denominator) {
  const TExtendedPrecision precision;
  return static_cast<float>(static_cast<long double>(numerator) / denominator);
}

std::int32_t ExtendedNearestStep(float x, std::int32_t range) {
  const TExtendedPrecision precision;
  return static_cast<std::int32_t>(std::nearbyint(static_cast<long double>(range) * x));
}

} // namespace

TEST(StepConversion, EveryStepGivesTheExtendedPrecisionFloat) {
  std::int32_t decibelMisses = 0;
  std::int32_t fractionMisses = 0;
  std::int32_t quotientMisses = 0;
  for (std::int32_t step = 0; step <= kSteps; ++step) {
    const float fraction = static_cast<float>(FractionRealValue(step, kSteps));
    for (const std::int32_t index : {0, 2})
      decibelMisses += std::bit_cast<std::uint32_t>(DecibelStepsOf(index).At(step)) !=
                       std::bit_cast<std::uint32_t>(static_cast<float>(DecibelRealValue(
                           kParameterTable[static_cast<std::size_t>(index)], step, kSteps)));
    fractionMisses += std::bit_cast<std::uint32_t>(FractionSetting(step, kSteps)) !=
                      std::bit_cast<std::uint32_t>(fraction);
    quotientMisses += QuotientToFloat(step, kSteps) != ExtendedQuotient(step, kSteps);
  }
  EXPECT_EQ(decibelMisses, 0);
  EXPECT_EQ(fractionMisses, 0);
  EXPECT_EQ(quotientMisses, 0);
}

// Host values land on the step the extended product gives: a sample of all
// floats in [0, 1], and for the plug-in's range the floats around every
// halfway point between two steps, for this range and for ranges where the
// double product is exact only just, or no longer.
TEST(StepConversion, HostValuesLandOnTheExtendedPrecisionStep) {
  const std::int32_t ranges[] = {
      1, 3, kSteps, (1 << 29) - 1, 1 << 29, std::numeric_limits<std::int32_t>::max()};
  for (const std::int32_t range : ranges) {
    std::int32_t misses = 0;
    for (std::uint32_t bits = 0; bits <= std::bit_cast<std::uint32_t>(1.0f); bits += 1021) {
      const float x = std::bit_cast<float>(bits);
      misses += NearestStep(x, range) != ExtendedNearestStep(x, range);
    }
    EXPECT_EQ(misses, 0) << range;
  }
  std::int32_t misses = 0;
  for (std::int32_t step = 0; step < kSteps; ++step) {
    const float half = static_cast<float>((step + 0.5) / kSteps);
    for (const float x : {std::nextafter(half, 0.0f), half, std::nextafter(half, 1.0f)})
      misses += NearestStep(x, kSteps) != ExtendedNearestStep(x, kSteps);
  }
  EXPECT_EQ(misses, 0);
}

// Odd denominators give quotients whose doubles can land exactly halfway
// between two floats, where a second rounding would go astray.
TEST(StepConversion, QuotientsRoundOnceLikeTheExactOnes) {
  for (std::int32_t d = 3; d < 200000; d += 2)
    for (const std::int32_t n : {1, d / 3, d - 1})
      ASSERT_EQ(QuotientToFloat(n, d), ExtendedQuotient(n, d)) << n << "/" << d;
}
