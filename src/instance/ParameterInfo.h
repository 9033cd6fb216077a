// How a format boundary describes one parameter to its host.
#pragma once

#include <cstdint>
#include <string>

struct TParameterInfo {
  // Stable across versions: hosts save automation and state by it.
  std::int32_t Id;
  std::string Name;
  std::string ShortName;
  // The unit the plain values are in ("dB", "%"), empty for a switch.
  std::string Unit;
  // In the unit.
  double Min;
  double Max;
  double Default;
  // Steps between Min and Max: the three continuous controls have 10^6, the
  // bypass switch 1.
  std::int32_t StepCount;
  bool IsBypass;
};
