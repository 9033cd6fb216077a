// The block processing for the build's baseline instruction set (SSE2 on
// x86).
#include "shaper/ShaperBlock.h"

namespace shaper {
namespace {
#include "shaper/ShaperBlock.inc"
} // namespace

const TBlockKernels& BaselineKernels() {
#if defined(__x86_64__) || defined(__i386__)
  static constexpr TBlockKernels kernels{"sse2", RenderChannel, RenderRing, RenderRingStereo, Emit};
#else
  static constexpr TBlockKernels kernels{"generic", RenderChannel, RenderRing, RenderRingStereo,
                                         Emit};
#endif
  return kernels;
}

} // namespace shaper
