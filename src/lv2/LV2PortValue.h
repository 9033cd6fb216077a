// Control port values in their natural units against the parameters' integer
// steps, the same steps a VST host's float in [0, 1] would give.
#pragma once

#include "lv2/LV2Ports.h"

#include <cstdint>

class TVSTParameter;

// round((v − Minimum) / (Maximum − Minimum) × (MaxValue − MinValue)) + MinValue,
// halves to even, clamped to the range; NaN counts as the port's minimum.
std::int32_t PortValueToCurValue(const TLV2PortDescription& port, const TVSTParameter& param,
                                 float value);
// The port value whose step is the parameter's current value.
float CurValueToPortValue(const TLV2PortDescription& port, const TVSTParameter& param);
