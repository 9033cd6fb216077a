// A parameter's new value from a frame of a processing call on, as VST3 and
// CLAP hosts send them with the block.
#pragma once

#include <cstdint>

struct TParameterChange {
  std::int32_t Frame;
  std::int32_t Index;
  double Normalized;
};
