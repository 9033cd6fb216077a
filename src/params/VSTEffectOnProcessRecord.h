// What one processing call hands to the processing handlers. Lives on the
// caller's stack for the duration of the call.
#pragma once

#include <cstdint>

struct TVSTEffectOnProcessRecord {
  float* Inputs[8];
  float* Outputs[8];
  std::int32_t SampleFrames;
  std::int32_t Replacing; // all bits set for processReplacing, 0 for process
};
using PVSTEffectOnProcessRecord = TVSTEffectOnProcessRecord*;

static_assert(sizeof(void*) != 4 || sizeof(TVSTEffectOnProcessRecord) == 72);
