// The VST 2 editor drawn offscreen: the picture every format's editor must
// put on the screen.
#pragma once

#include "hostlib/Editor.h"
#include "hostlib/PluginHost.h"

#include <memory>
#include <span>

// values: host values for the first parameters; the rest stay at their defaults.
inline glowrasp::host::EditorPicture VstEditorPicture(const char* pluginPath,
                                                      std::span<const float> values = {}) {
  using namespace glowrasp::host;
  Plugin effect(std::make_shared<const PluginLibrary>(pluginPath));
  effect.setSampleRate(44100.0f);
  effect.setBlockSize(512);
  effect.resume();
  const OpenEditor editor(effect, nullptr);
  for (std::size_t index = 0; index < values.size(); ++index)
    effect.setParameter(static_cast<int>(index), values[index]);
  editor.idle();
  return editor.snapshot();
}
