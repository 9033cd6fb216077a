// Memory handed to the plug-in with guard zones on both sides, so that a write
// past either end shows even where the sanitizer cannot see it (inside one
// allocation, or in a build without sanitizer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TGuardedBuffer {
public:
  static constexpr std::size_t GuardSize = 64;
  static constexpr std::uint8_t Fill = 0xa5;

  explicit TGuardedBuffer(std::size_t size) : FSize(size), FBytes(size + 2 * GuardSize, Fill) {
    for (std::size_t i = 0; i < GuardSize; ++i) {
      FBytes[i] = GuardByte(i);
      FBytes[GuardSize + FSize + i] = GuardByte(i + GuardSize);
    }
  }

  std::uint8_t* Data() { return FBytes.data() + GuardSize; }
  std::size_t Size() const { return FSize; }

  bool GuardsIntact() const {
    for (std::size_t i = 0; i < GuardSize; ++i)
      if (FBytes[i] != GuardByte(i) || FBytes[GuardSize + FSize + i] != GuardByte(i + GuardSize))
        return false;
    return true;
  }
  // The plug-in wrote into the buffer.
  bool Written() const {
    for (std::size_t i = 0; i < FSize; ++i)
      if (FBytes[GuardSize + i] != Fill)
        return true;
    return false;
  }
  // A text answer ends inside the buffer.
  bool Terminated() const {
    for (std::size_t i = 0; i < FSize; ++i)
      if (FBytes[GuardSize + i] == 0)
        return true;
    return false;
  }

private:
  static std::uint8_t GuardByte(std::size_t i) { return static_cast<std::uint8_t>(i * 37 + 11); }

  std::size_t FSize;
  std::vector<std::uint8_t> FBytes;
};
