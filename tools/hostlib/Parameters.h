// The effect's three parameters in their natural units, and the mapping from
// those units to the host floats the plug-in expects.
#pragma once

#include <string>
#include <vector>

namespace glowrasp::host {

class Plugin;

enum ParamIndex : int { kGain = 0, kIntensity = 1, kOutGain = 2, kParamCount = 3 };

struct UnitRange {
  double min;
  double max;
  bool contains(double value) const { return value >= min && value <= max; }
};

inline constexpr UnitRange kDecibelRange{-48.0, 48.0};
inline constexpr UnitRange kPercentRange{0.0, 100.0};

// Inverses of the plug-in's mappings: dB = (x - 0.5) * 96, percent = x * 100.
constexpr float decibelsToHost(double db) {
  return static_cast<float>(db / 96.0 + 0.5);
}
constexpr float percentToHost(double percent) {
  return static_cast<float>(percent / 100.0);
}

// The plug-in's own defaults.
struct Settings {
  double gainDb = 0.0;
  double intensityPercent = 100.0;
  double outGainDb = 0.0;
};

// Sends all three values through setParameter, in index order.
void applySettings(Plugin& plugin, const Settings& settings);

// What a host shows for one parameter: the plug-in's own texts.
struct ParamView {
  int index;
  std::string name;
  std::string display;
  std::string label;
};

std::vector<ParamView> describeParameters(const Plugin& plugin);

} // namespace glowrasp::host
