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
  // in 32 bits as libsndfile expects (a 16-bit sample in the top 16 bits).
  // first: the position of in[0] among all the interleaved samples of the
  // file; a sample's dither depends on that alone, so a file comes out the
  // same however it is cut into calls. Adds what it wrote to the levels
  // where they are given.
  void convert(const float* in, std::int32_t* out, std::size_t count, std::uint64_t first,
               Levels* written);

  std::uint64_t clipped() const { return FClipped; }
  // The largest magnitude asked for, full scale being 1, before clipping.
  double peakBeforeClipping() const { return FPeak; }

  // Samples are taken in groups of this many.
  static constexpr std::size_t kLanes = 4;

private:
  struct Figures;
  // position: the low 32 bits of the sample's position; key: the noise key
  // for the high ones.
  void convertSample(float x, std::int32_t& out, std::uint32_t position, std::uint32_t key,
                     bool measure, Figures& figures) const;
  // count: a multiple of kLanes; the positions' high 32 bits are the same
  // for all of them.
  void convertGroups(const float* in, std::int32_t* out, std::size_t count, std::uint32_t first,
                     std::uint32_t key, bool measure, Figures& figures) const;
  void convertSpan(const float* in, std::int32_t* out, std::size_t count, std::uint64_t first,
                   bool measure, Figures& figures) const;

  float FScale;
  double FStep; // one integer step, full scale being 1
  double FMin;
  double FMax;
  int FShift;
  bool FDither;
  std::uint64_t FClipped = 0;
  double FPeak = 0.0;
};

} // namespace glowrasp::render
