// The saved records' numbers: little-endian, whatever the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline std::uint32_t GetLittleEndian(std::span<const std::uint8_t> in, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i)
    value |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
  return value;
}
