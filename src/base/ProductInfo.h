// Who the plug-in is and who answers for it, as every format's host lists it.
#pragma once

inline constexpr const char* kProductName = "Kestrune Glowrasp";
inline constexpr const char* kVendorName = "Kestrune";
inline constexpr const char* kProductUrl = "https://kestrune.example/glowrasp";
inline constexpr const char* kProductEmail = "glowrasp@kestrune.example";
inline constexpr const char* kProductDescription = "Signal-dependent smoothing shaper";
