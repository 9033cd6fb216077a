#include "lv2/LV2PortValue.h"

#include "base/ExtendedPrecision.h"

#include <cmath>
#include <limits>

namespace {

// Adding and taking away 2^(digits - 1) rounds a smaller non-negative long
// double to a whole number, halves to even: no library call, which would
// cost more than the rest of a control change.
constexpr long double RoundingShift() {
  long double shift = 1;
  for (int bit = 1; bit < std::numeric_limits<long double>::digits; ++bit)
    shift *= 2;
  return shift;
}

} // namespace

// The product is formed before the one rounded division, so a value exactly
// halfway between two steps stays exact and rounds to the even step, whatever
// precision and rounding the host's thread has set.
std::int32_t PortValueToStep(const TLV2PortDescription& port, std::int32_t steps, float value) {
  const TExtendedPrecision precision;
  const long double span = static_cast<long double>(port.Maximum) - port.Minimum;
  const long double offset = static_cast<long double>(value) - port.Minimum;
  if (!(offset > 0) || !(span > 0))
    return 0;
  if (offset >= span)
    return steps;
  constexpr long double kShift = RoundingShift();
  return static_cast<std::int32_t>((offset * steps / span + kShift) - kShift);
}

float StepToPortValue(const TLV2PortDescription& port, std::int32_t steps, std::int32_t step) {
  const TExtendedPrecision precision;
  if (steps == 0)
    return port.Minimum;
  const long double span = static_cast<long double>(port.Maximum) - port.Minimum;
  return static_cast<float>(port.Minimum + span * step / steps);
}

double StepToNormalized(std::int32_t step, std::int32_t steps) {
  return steps == 0 ? 0.0 : static_cast<double>(step) / steps;
}

std::int32_t NormalizedToStep(double normalized, std::int32_t steps) {
  return static_cast<std::int32_t>(std::lround(normalized * steps));
}
