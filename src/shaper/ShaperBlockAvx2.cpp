// The block processing compiled for AVX2 (the build gives this file -mavx2 on
// x86-64), chosen at run time where the processor has it.
#include "shaper/ShaperBlock.h"

#if defined(__x86_64__) && defined(__AVX2__)
#include <immintrin.h>
#endif

namespace shaper {

#if defined(__x86_64__) && defined(__AVX2__)
namespace {
#include "shaper/ShaperBlock.inc"
} // namespace

const TBlockKernels* Avx2Kernels() {
  static constexpr TBlockKernels kernels{"avx2", RenderChannel, RenderRing, RenderRingStereo, Emit};
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? &kernels : nullptr;
}
#else
const TBlockKernels* Avx2Kernels() {
  return nullptr;
}
#endif

} // namespace shaper
