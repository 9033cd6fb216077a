// Float samples to integer samples of a given width: optional TPDF dither,
// rounding to nearest, and clipping that is counted instead of silent.
#pragma once

#include "render/Levels.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace glowrasp::render {

class Quantizer {
public:
  // bits: 8 to 32. Dither only where the width loses precision (below 32).
  Quantizer(int bits, bool dither);

  // Writes each sample as an integer of the quantizer's width, left-aligned
  // in 32 bits as libsndfile expects (a 16-bit sample in the top 16 bits).
  // Adds what it wrote to the levels where they are given.
  void convert(const float* in, std::int32_t* out, std::size_t count, Levels* written);

  std::uint64_t clipped() const { return FClipped; }
  // The largest magnitude asked for, full scale being 1, before clipping.
  double peakBeforeClipping() const { return FPeak; }

  // Samples are taken in groups of this many, one lane each.
  static constexpr std::size_t kLanes = 4;

private:
  struct Figures;
  void convertSample(float x, std::int32_t& out, std::size_t lane, bool measure,
                     Figures& figures) const;
  // count: a multiple of kLanes.
  void convertGroups(const float* in, std::int32_t* out, std::size_t count, bool measure,
                     Figures& figures);

  float FScale;
  double FStep; // one integer step, full scale being 1
  double FMin;
  double FMax;
  int FShift;
  bool FDither;
  // One noise generator per lane.
  std::array<std::uint32_t, kLanes> FNoise;
  std::uint64_t FClipped = 0;
  double FPeak = 0.0;
};

} // namespace glowrasp::render
