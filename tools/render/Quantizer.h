// Float samples to integer samples of a given width: optional TPDF dither,
// rounding to nearest, and clipping that is counted instead of silent.
#pragma once

#include "render/Levels.h"

#include <cstddef>
#include <cstdint>

namespace glowrasp::render {

class Quantizer {
public:
  // bits: 8 to 32. Dither only where the width loses precision (below 32).
  Quantizer(int bits, bool dither);

  // Writes each sample as an integer of the quantizer's width, left-aligned
  // in 32 bits as libsndfile expects (a 16-bit sample in the top 16 bits),
  // and adds what it wrote to the levels.
  void convert(const float* in, std::int32_t* out, std::size_t count, Levels& written);

  std::uint64_t clipped() const { return FClipped; }
  // The largest magnitude asked for, full scale being 1, before clipping.
  double peakBeforeClipping() const { return FPeak; }

private:
  template <bool Dither>
  void convertSamples(const float* in, std::int32_t* out, std::size_t count, Levels& written);

  double FScale;
  double FStep; // one integer step, full scale being 1
  std::int64_t FMin;
  std::int64_t FMax;
  int FShift;
  bool FDither;
  std::uint64_t FNoiseCounter;
  std::uint64_t FClipped = 0;
  double FPeak = 0.0;
};

} // namespace glowrasp::render
