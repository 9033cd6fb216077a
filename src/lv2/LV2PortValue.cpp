#include "lv2/LV2PortValue.h"

#include "base/ExtendedPrecision.h"
#include "params/VSTParameter.h"

#include <cmath>

// The product is formed before the one rounded division, so a value exactly
// halfway between two steps stays exact and rounds to the even step, whatever
// precision and rounding the host's thread has set.
std::int32_t PortValueToCurValue(const TLV2PortDescription& port, const TVSTParameter& param,
                                 float value) {
  const TExtendedPrecision precision;
  const long double span = static_cast<long double>(port.Maximum) - port.Minimum;
  const long double offset = static_cast<long double>(value) - port.Minimum;
  if (!(offset > 0) || !(span > 0))
    return param.MinValue();
  if (offset >= span)
    return param.MaxValue();
  const std::int32_t steps = param.MaxValue() - param.MinValue();
  return param.MinValue() + static_cast<std::int32_t>(std::nearbyint(offset * steps / span));
}

float CurValueToPortValue(const TLV2PortDescription& port, const TVSTParameter& param) {
  const TExtendedPrecision precision;
  const std::int32_t steps = param.MaxValue() - param.MinValue();
  if (steps == 0)
    return port.Minimum;
  const long double span = static_cast<long double>(port.Maximum) - port.Minimum;
  return static_cast<float>(port.Minimum + span * (param.CurValue() - param.MinValue()) / steps);
}
