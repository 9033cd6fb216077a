// What main does for every effect instance the host asks for.
#pragma once

#include "vst/DAEffect.h"

AEffect* CreateEffectInstance(audioMasterCallback audioMaster);
