// The processor's gain at every step of a decibel parameter, as the
// extended-precision formula gives it, without an exponential per change:
// automation sends one at every frame.
#pragma once

#include "params/ParameterTable.h"

#include <cstdint>
#include <vector>

class TDecibelSteps {
public:
  TDecibelSteps(const TParameterDescription& Range, std::int32_t MaxValue);

  // The float DecibelRealValue rounds to, for any step of the range.
  float At(std::int32_t Step) const;

private:
  static constexpr int kFineBits = 10;

  const TParameterDescription& FRange;
  const std::int32_t FMaxValue;
  // The gain splits into the power of the step's upper bits and that of its
  // lower ten, each rounded once from extended precision.
  std::vector<double> FCoarse;
  std::vector<double> FFine;
};

// The table of the parameter at Index (0 or 2) of the parameter table, built
// on first use; the effect definition makes that use before processing runs.
const TDecibelSteps& DecibelStepsOf(std::int32_t Index);
