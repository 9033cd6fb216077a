#include "hostlib/Parameters.h"

#include "hostlib/PluginHost.h"

namespace glowrasp::host {

void applySettings(Plugin& plugin, const Settings& settings) {
  if (plugin.numParams() < kParamCount)
    throw HostError("the plug-in has " + std::to_string(plugin.numParams()) +
                    " parameters; expected at least " + std::to_string(kParamCount));
  plugin.setParameter(kGain, decibelsToHost(settings.gainDb));
  plugin.setParameter(kIntensity, percentToHost(settings.intensityPercent));
  plugin.setParameter(kOutGain, decibelsToHost(settings.outGainDb));
}

std::vector<ParamView> describeParameters(const Plugin& plugin) {
  std::vector<ParamView> views;
  for (int i = 0; i < plugin.numParams(); ++i)
    views.push_back({i, plugin.paramName(i), plugin.paramDisplay(i), plugin.paramLabel(i)});
  return views;
}

} // namespace glowrasp::host
