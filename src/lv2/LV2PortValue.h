// Control port values in their natural units against the parameters' integer
// steps, the same steps a VST host's float in [0, 1] would give.
#pragma once

#include "lv2/LV2Ports.h"

#include <cstdint>

// round((v − Minimum) / (Maximum − Minimum) × steps), halves to even, clamped
// to [0, steps]; NaN counts as the port's minimum.
std::int32_t PortValueToStep(const TLV2PortDescription& port, std::int32_t steps, float value);
// The port value whose step is `step`.
float StepToPortValue(const TLV2PortDescription& port, std::int32_t steps, std::int32_t step);

// The effect instance's normalised value of a step, and back. A float keeps
// every one of up to 2^23 steps apart, so the instance lands on the same step.
double StepToNormalized(std::int32_t step, std::int32_t steps);
std::int32_t NormalizedToStep(double normalized, std::int32_t steps);
