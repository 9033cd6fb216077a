// The editor window's client size, which is also the backdrop picture's size.
// Header only: the effect definition declares it to the host without linking
// the editor.
#pragma once

#include <cstdint>

inline constexpr std::int32_t kEditorWidth = 402;
inline constexpr std::int32_t kEditorHeight = 250;
