// The caller's floating-point state that a plug-in must hand back unchanged:
// the x87 control word and the SSE control and status register.
#pragma once

#include <cstdint>

#include <xmmintrin.h>

namespace glowrasp::hosttest {

inline std::uint16_t X87ControlWord() {
  std::uint16_t word;
  asm volatile("fnstcw %0" : "=m"(word) : : "memory");
  return word;
}

inline void SetX87ControlWord(std::uint16_t word) {
  asm volatile("fldcw %0" : : "m"(word) : "memory");
}

// What Windows gives a new thread: 53-bit precision, every exception masked.
inline constexpr std::uint16_t kWindowsThreadControlWord = 0x027F;
// The same with a 64-bit significand: Linux's default.
inline constexpr std::uint16_t kExtendedControlWord = 0x037F;

// Exception masks, flush-to-zero and denormals-are-zero: a common setting of
// hosts' audio threads, far from the default.
inline constexpr std::uint32_t kHostAudioMxcsr = 0x9FC0;

// The bits a caller sets: rounding, masks, flush-to-zero, denormals-are-zero.
// The low six are exception flags that any arithmetic may raise.
inline constexpr std::uint32_t kMxcsrControl = ~0x3Fu;

inline std::uint32_t Mxcsr() {
  return _mm_getcsr();
}
inline void SetMxcsr(std::uint32_t value) {
  _mm_setcsr(value);
}

} // namespace glowrasp::hosttest
