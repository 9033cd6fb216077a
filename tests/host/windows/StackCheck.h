// The stack check for the 32-bit calling convention.
#pragma once

#include <cstdint>

#if defined(__i386__)
// Calls `function` with `count` 32-bit arguments pushed right to left, stores
// its result (the bits of the x87 result when `returnsFloat`) and returns how
// many bytes of the arguments the callee removed: 0 for cdecl, where the
// caller cleans up.
extern "C" int GlowraspCalleePoppedBytes(const void* function, const std::uint32_t* arguments,
                                         int count, int returnsFloat, std::uint32_t* result);
#endif
