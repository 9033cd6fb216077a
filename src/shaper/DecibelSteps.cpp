#include "shaper/DecibelSteps.h"

#include "base/ExtendedPrecision.h"
#include "base/FloatMidpoint.h"
#include "shaper/EffParams.h"

#include <array>
#include <cmath>

namespace {

constexpr long double kLn10 = 2.302585092994045684017991454684364208L;

// The product of two doubles each within half a last place of its exact
// power lies within two last places of the exact gain: a double this far
// from a float's midpoint rounds to the float the exact value rounds to.
constexpr std::int64_t kUncertainUlps = 1024;

} // namespace

TDecibelSteps::TDecibelSteps(const TParameterDescription& Range, std::int32_t MaxValue)
    : FRange(Range), FMaxValue(MaxValue) {
  const TExtendedPrecision precision;
  const long double perStep = (0.05L * Range.Span()) * kLn10 / MaxValue;
  const long double atZero =
      -static_cast<long double>(Range.ZeroAt()) * 0.05L * Range.Span() * kLn10;
  for (std::int32_t high = 0; (high << kFineBits) <= MaxValue; ++high)
    FCoarse.push_back(static_cast<double>(
        std::exp(atZero + perStep * static_cast<long double>(high << kFineBits))));
  for (std::int32_t low = 0; low < (1 << kFineBits); ++low)
    FFine.push_back(static_cast<double>(std::exp(perStep * low)));
}

float TDecibelSteps::At(std::int32_t Step) const {
  if (Step < 0 || Step > FMaxValue)
    return static_cast<float>(DecibelRealValue(FRange, Step, FMaxValue));
  const double gain = FCoarse[static_cast<std::size_t>(Step >> kFineBits)] *
                      FFine[static_cast<std::size_t>(Step & ((1 << kFineBits) - 1))];
  if (NearFloatMidpoint(gain, kUncertainUlps))
    return static_cast<float>(DecibelRealValue(FRange, Step, FMaxValue));
  return static_cast<float>(gain);
}

const TDecibelSteps& DecibelStepsOf(std::int32_t Index) {
  static const std::array<TDecibelSteps, 2> tables{
      TDecibelSteps(kParameterTable[0], kParameterTable[0].StepCount),
      TDecibelSteps(kParameterTable[2], kParameterTable[2].StepCount)};
  return tables[Index == 0 ? 0 : 1];
}
