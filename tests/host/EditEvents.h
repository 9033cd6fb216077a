// What a host recording in touch mode hears from the editor: the automation
// and the edit gestures around it, in order, as "begin 0", "automate 0",
// "end 0".
#pragma once

#include "hostlib/PluginHost.h"
#include "vst/DAEffectX.h"

#include <string>
#include <vector>

namespace glowrasp::hosttest {

class TEditEvents {
public:
  explicit TEditEvents(host::Plugin& plugin) {
    plugin.onHostCall([this](VstInt32 opcode, VstInt32 index, float) {
      const char* kind = opcode == audioMasterAutomate    ? "automate"
                         : opcode == audioMasterBeginEdit ? "begin"
                         : opcode == audioMasterEndEdit   ? "end"
                                                          : nullptr;
      if (kind)
        FEvents.push_back(std::string(kind) + " " + std::to_string(index));
    });
  }

  const std::vector<std::string>& Events() const { return FEvents; }
  void Clear() { FEvents.clear(); }

private:
  std::vector<std::string> FEvents;
};

} // namespace glowrasp::hosttest
