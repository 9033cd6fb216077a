// Text across the VST3 boundary: UTF-16 fields of fixed size one way, UTF-8
// strings the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vst3 {

// Copies `text` into a field of `capacity` UTF-16 units, cut short at a whole
// character and always terminated.
void CopyToUtf16(std::string_view text, std::int16_t* field, std::size_t capacity);
// Reads a terminated UTF-16 text of at most `capacity` units.
std::string FromUtf16(const std::int16_t* text, std::size_t capacity);
// Copies `text` into a char field of `capacity` bytes, cut short and terminated.
void CopyToChars(std::string_view text, char* field, std::size_t capacity);

} // namespace vst3
