// What main does for every effect instance the host asks for.
#pragma once

#include "shaper/EffParams.h"
#include "vst/DAEffect.h"

#include <memory>

using TDefinitionFactory = std::unique_ptr<TEffParameters> (*)();

std::unique_ptr<TEffParameters> CreateEffectDefinition();

// Asks the host's version, builds the effect definition with `factory` and
// the effect object around it; null when the host says 0 or building fails.
AEffect* CreateEffectInstance(audioMasterCallback audioMaster,
                              TDefinitionFactory factory = CreateEffectDefinition);
