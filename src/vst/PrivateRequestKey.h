// The second key of this plug-in's private requests. A four-character code
// as index alone is something another host's vendor-specific traffic can hit
// by chance; together with this value in `value`, compared on the full
// pointer width, it cannot. The plug-in answers a private request without it
// with 0 and does nothing.
#pragma once

#include "vst/DAEffect.h"

#include <cstdint>

// Random, drawn once; a 32-bit build keeps the low half.
inline constexpr VstIntPtr kPrivateRequestKey =
    static_cast<VstIntPtr>(static_cast<std::uintptr_t>(0xf184cb140cdb4f90ULL));
