// The plug-in's parameters, described once. The effect definition's
// parameters, the instance's descriptions for every format, the LV2 ports and
// the editor's bindings are all built from this table: a name or a range
// changed here changes everywhere.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>

// How a parameter's steps read in its unit.
enum class TParameterScale : std::uint8_t {
  Decibels, // a gain: the processor takes 10^(dB / 20)
  Percent,  // the processor takes the fraction
  Switch,   // Off or On
};

struct TParameterDescription {
  // Stable across versions: hosts save automation and state by it.
  std::int32_t Id;
  // For formats that name controls by a symbol (LV2 ports).
  std::string_view Symbol;
  std::string_view Name;
  // For hosts that have room for a few characters only.
  std::string_view ShortName;
  // "dB", "%", or empty for the switch.
  std::string_view Unit;
  // In the unit.
  double Min;
  double Max;
  double Default;
  // Steps between Min and Max.
  std::int32_t StepCount;
  TParameterScale Scale;
  // What it does, in a sentence hosts show as its tooltip.
  std::string_view Comment;

  constexpr double Span() const { return Max - Min; }
  // Where the unit's zero lies, as a fraction of the range.
  constexpr double ZeroAt() const { return -Min / (Max - Min); }
  // The step Default falls on.
  std::int32_t DefaultStep() const {
    return static_cast<std::int32_t>(std::lround((Default - Min) / (Max - Min) * StepCount));
  }
};

// Gain, Intensity, Out Gain, and the bypass last.
inline constexpr std::array<TParameterDescription, 4> kParameterTable{{
    {0, "gain", "Gain", "Gain", "dB", -48.0, 48.0, 0.0, 1000000, TParameterScale::Decibels,
     "Drive: how loud the signal looks to the kernel choice; it never scales the signal"},
    {1, "intensity", "Intensity", "Intens", "%", 0.0, 100.0, 100.0, 1000000,
     TParameterScale::Percent, "How fast the cut-off falls as a sample overshoots full scale"},
    {2, "out_gain", "Out Gain", "OutGain", "dB", -48.0, 48.0, 0.0, 1000000,
     TParameterScale::Decibels, "Output level"},
    {3, "bypass", "Bypass", "Bypass", "", 0.0, 1.0, 0.0, 1, TParameterScale::Switch,
     "Passes the input through as late as the effect, crossfading over 64 frames"},
}};

inline constexpr std::int32_t kBypassParameter = 3;
