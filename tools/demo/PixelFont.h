// A 5 x 7 pixel font for picture captions: capitals, digits and a few signs.
#pragma once

#include <array>
#include <cstdint>

namespace glowrasp::demo {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;

// Seven rows, the leftmost pixel in bit 4. Lower case maps to capitals;
// anything else unknown comes back blank.
using Glyph = std::array<std::uint8_t, kGlyphHeight>;
const Glyph& glyphFor(char c);

} // namespace glowrasp::demo
