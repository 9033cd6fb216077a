// The VST 2 editor's offscreen picture with its parameters at the given host
// values, as the X tests compare screens.
#pragma once

#include "common/VstEditorPicture.h"
#include "xhost/XSession.h"

#include <utility>

inline TPixels VstRendering(float gain, float intensity, float outGain) {
  const float values[] = {gain, intensity, outGain};
  glowrasp::host::EditorPicture picture = VstEditorPicture(GLOWRASP_PLUGIN_PATH, values);
  return {picture.width, picture.height, std::move(picture.pixels)};
}
