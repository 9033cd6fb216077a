// A parameter's new value from a frame of a processing call on, as VST3 and
// CLAP hosts send them with the block.
#pragma once

#include <cstdint>

struct TParameterChange {
  std::int32_t Frame;
  std::int32_t Index;
  // The value, or with Modulation the amount added to it, in host-value
  // units: a CLAP host modulates without moving the value itself.
  double Normalized;
  bool Modulation = false;
};
