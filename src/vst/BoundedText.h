// Texts the plug-in writes into the host's buffers: cut to the buffer's size
// as the interface defines it, always terminated.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

inline void CopyBounded(char* buffer, std::string_view text, std::size_t size) {
  const std::size_t length = text.size() < size ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}
