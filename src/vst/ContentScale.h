// How VST 2 hosts tell an editor their content scale (the screen's pixels per
// 96-dpi pixel): the vendor-specific opcode with 'PreS' as index, 'AeCs' as
// value and the factor in the float argument.
#pragma once

#include "vst/DAEffect.h"
#include "vst/DVstUtils.h"

inline constexpr VstInt32 kContentScaleIndex = FourCharCode("PreS");
inline constexpr VstIntPtr kContentScaleValue = FourCharCode("AeCs");
