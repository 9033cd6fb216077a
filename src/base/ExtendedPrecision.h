// Long double arithmetic on x86 runs on the x87 unit, whose precision and
// rounding come from the calling thread's control word: Windows starts threads
// at 53-bit precision, and hosts may set it as they like. Every computation
// that relies on the 64-bit significand runs under this guard, which sets
// 64-bit precision and rounding to nearest for its lifetime and then gives the
// caller its own control word back. Elsewhere long double is not the x87
// format and the guard does nothing.
#pragma once

#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)

class TExtendedPrecision {
public:
  TExtendedPrecision() : FSaved(Read()) {
    const std::uint16_t wanted = (FSaved & ~kPrecisionAndRounding) | kExtendedToNearest;
    FChanged = wanted != FSaved;
    if (FChanged)
      Load(wanted);
  }
  ~TExtendedPrecision() {
    if (FChanged)
      Load(FSaved);
  }
  TExtendedPrecision(const TExtendedPrecision&) = delete;
  TExtendedPrecision& operator=(const TExtendedPrecision&) = delete;

private:
  // Precision control is bits 8-9, rounding control bits 10-11; the exception
  // masks stay the caller's.
  static constexpr std::uint16_t kPrecisionAndRounding = 0x0F00;
  static constexpr std::uint16_t kExtendedToNearest = 0x0300;

  static std::uint16_t Read() {
    std::uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word) : : "memory");
    return word;
  }
  static void Load(std::uint16_t word) { asm volatile("fldcw %0" : : "m"(word) : "memory"); }

  const std::uint16_t FSaved;
  bool FChanged;
};

#else

class TExtendedPrecision {
public:
  TExtendedPrecision() = default;
  TExtendedPrecision(const TExtendedPrecision&) = delete;
  TExtendedPrecision& operator=(const TExtendedPrecision&) = delete;
};

#endif
