#include "vst3/Vst3Text.h"

#include <algorithm>

namespace vst3 {

namespace {

// The next code point of UTF-8 `text` from `pos`; malformed bytes read as
// U+FFFD, one byte each.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  if (lead < 0x80)
    return lead;
  const int length = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (length < 0 || pos + static_cast<std::size_t>(length) > text.size())
    return 0xFFFD;
  char32_t c = lead & (0x3F >> length);
  for (int i = 0; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
    if ((next & 0xC0) != 0x80)
      return 0xFFFD;
    c = (c << 6) | (next & 0x3F);
  }
  pos += static_cast<std::size_t>(length);
  return c > 0x10FFFF ? 0xFFFD : c;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

} // namespace

void CopyToUtf16(std::string_view text, std::int16_t* field, std::size_t capacity) {
  if (!field || capacity == 0)
    return;
  std::size_t used = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char32_t c = NextCodePoint(text, pos);
    const std::size_t units = c >= 0x10000 ? 2 : 1;
    if (used + units >= capacity)
      break;
    if (units == 2) {
      field[used++] = static_cast<std::int16_t>(0xD800 + ((c - 0x10000) >> 10));
      field[used++] = static_cast<std::int16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      field[used++] = static_cast<std::int16_t>(c);
    }
  }
  field[used] = 0;
}

std::string FromUtf16(const std::int16_t* text, std::size_t capacity) {
  std::string out;
  if (!text)
    return out;
  for (std::size_t i = 0; i < capacity && text[i] != 0; ++i) {
    char32_t c = static_cast<std::uint16_t>(text[i]);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < capacity) {
      const char32_t low = static_cast<std::uint16_t>(text[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(c, out);
  }
  return out;
}

void CopyToChars(std::string_view text, char* field, std::size_t capacity) {
  if (!field || capacity == 0)
    return;
  const std::size_t n = std::min(text.size(), capacity - 1);
  std::copy_n(text.data(), n, field);
  field[n] = '\0';
}

} // namespace vst3
