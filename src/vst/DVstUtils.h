// Four-character codes: first character in the most significant byte.
#pragma once

#include <cstdint>
#include <string_view>

constexpr std::int32_t FourCharCode(std::string_view code) {
  std::uint32_t packed = 0;
  for (std::size_t i = 0; i < 4; ++i)
    packed = (packed << 8) | (i < code.size() ? static_cast<unsigned char>(code[i]) : 0u);
  return static_cast<std::int32_t>(packed);
}

static_assert(FourCharCode("VstP") == 0x56737450);
static_assert(FourCharCode("NoEf") == 0x4E6F4566);
static_assert(FourCharCode("NvEf") == 0x4E764566);
