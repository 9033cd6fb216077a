// What the factory and the bundle's module description say about the
// plug-in: one class, the effect, with its own stable class ID.
#pragma once

#include "base/ProductInfo.h"
#include "base/Version.h"

#include <array>
#include <cstdint>

namespace vst3 {

inline constexpr const char* kVendor = kVendorName;
inline constexpr const char* kUrl = kProductUrl;
inline constexpr const char* kEmail = kProductEmail;
inline constexpr const char* kName = kProductName;
inline constexpr const char* kCategory = "Audio Module Class";
inline constexpr const char* kSubCategories = "Fx|Distortion";
inline constexpr const char* kVersion = kVersionText;
// The interface version the binary follows.
inline constexpr const char* kSdkVersion = "VST 3.7.7";
inline constexpr std::int32_t kManyInstances = 0x7FFFFFFF;
inline constexpr std::int32_t kUnicodeFactory = 0x10;

// The class ID as four 32-bit words: hosts save projects by it, so it never
// changes. Its byte order in memory differs between Windows and elsewhere,
// as the interface's own IDs do.
inline constexpr std::array<std::uint32_t, 4> kClassIdWords{0x4B475231, 0x56535433, 0x8E2A4C71,
                                                            0x19D05B3E};

} // namespace vst3
