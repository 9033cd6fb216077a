#include "render/Quantizer.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace glowrasp::render {
namespace {

constexpr std::size_t kLanes = Quantizer::kLanes;

// Adding this to a double of magnitude below 2^51 leaves no bits for a
// fraction, so the addition itself rounds to an integer, halves to even as
// nearbyint does (which is a library call on the baseline instruction set).
constexpr double kRounder = 0x1.8p52;
// The dither's 17 bits span 2^16 down to 2^-16; added to a scaled sample of
// at most 2^31 the sum still fits a double's 53 bits, so it is exact.
constexpr float kNoiseUnit = 0x1p-16f;

// Fixed, so that the same input gives the same file on every run and every
// machine.
constexpr std::uint32_t kNoiseSeed = 0x9E3779B9u;
constexpr std::uint32_t kFirstMultiplier = 0x7FEB352Du;
constexpr std::uint32_t kSecondMultiplier = 0x846CA68Bu;
constexpr std::uint64_t kSpan = std::uint64_t{1} << 32;

// A 32-bit mixing function: one-to-one, and every input bit reaches every
// output bit, so consecutive positions give unrelated words. The noise of a
// sample is a function of its position, not of a generator's history.
std::uint32_t mix(std::uint32_t x) {
  x ^= x >> 16;
  x *= kFirstMultiplier;
  x ^= x >> 15;
  x *= kSecondMultiplier;
  x ^= x >> 16;
  return x;
}

// The key for positions whose high 32 bits are these: a file longer than
// 2^32 samples does not repeat its noise.
std::uint32_t keyFor(std::uint64_t position) {
  return mix(static_cast<std::uint32_t>(position >> 32) ^ kNoiseSeed);
}

// The difference of two uniform values: the triangular density, ±1 step.
// The mixed word's two halves are two independent 16-bit values; sixteen
// bits resolve the noise far below the step it spans.
float triangular(std::uint32_t word) {
  const auto first = static_cast<std::int32_t>(word & 0xFFFFu);
  const auto second = static_cast<std::int32_t>(word >> 16);
  return static_cast<float>(first - second) * kNoiseUnit;
}

} // namespace

// What a conversion gathers on the way; each lane of the vector loop keeps
// its own and they meet at the end.
struct Quantizer::Figures {
  double peak = 0.0;
  std::uint64_t clipped = 0;
  double writtenPeak = 0.0;
  double writtenSquares = 0.0;
};

Quantizer::Quantizer(int bits, bool dither)
    : FScale(std::ldexp(1.0f, bits - 1)), FStep(std::ldexp(1.0, 1 - bits)),
      FMin(-std::ldexp(1.0, bits - 1)), FMax(std::ldexp(1.0, bits - 1) - 1.0), FShift(32 - bits),
      FDither(dither && bits < 32) {}

void Quantizer::convert(const float* in, std::int32_t* out, std::size_t count, std::uint64_t first,
                        Levels* written) {
  Figures figures;
  // Pieces that do not cross a change of the positions' high half.
  for (std::size_t done = 0; done < count;) {
    const std::uint64_t position = first + done;
    const auto piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kSpan - position % kSpan));
    convertSpan(in + done, out + done, piece, position, written != nullptr, figures);
    done += piece;
  }
  FPeak = std::max(FPeak, figures.peak);
  FClipped += figures.clipped;
  if (written)
    written->merge(figures.writtenPeak, figures.writtenSquares, count);
}

void Quantizer::convertSpan(const float* in, std::int32_t* out, std::size_t count,
                            std::uint64_t first, bool measure, Figures& figures) const {
  const std::uint32_t key = keyFor(first);
  const auto low = static_cast<std::uint32_t>(first);
  std::size_t done = 0;
#if defined(__SSE2__)
  done = count / kLanes * kLanes;
  convertGroups(in, out, done, low, key, measure, figures);
#endif
  // What is left (all of it without SSE2) goes sample by sample with the
  // same arithmetic.
  for (; done < count; ++done)
    convertSample(in[done], out[done], low + static_cast<std::uint32_t>(done), key, measure,
                  figures);
}

void Quantizer::convertSample(float x, std::int32_t& out, std::uint32_t position, std::uint32_t key,
                              bool measure, Figures& figures) const {
  const float size = std::abs(x);
  figures.peak = size > figures.peak ? size : figures.peak;
  // Scaling by a power of two is exact. NaN counts as silence.
  const float scaled = x == x ? x * FScale : 0.0f;
  double wide = scaled;
  if (FDither)
    wide += triangular(mix(position ^ key));
  // Anything beyond a step past the limits clips alike, and what is left is
  // small enough for the rounding addition.
  const double rounded = (std::clamp(wide, FMin - 1.0, FMax + 1.0) + kRounder) - kRounder;
  const double limited = std::clamp(rounded, FMin, FMax);
  figures.clipped += limited != rounded;
  if (measure) {
    // The written sample at full scale 1: a power of two apart, so exact.
    const double level = limited * FStep;
    figures.writtenPeak = std::max(figures.writtenPeak, std::abs(level));
    figures.writtenSquares += level * level;
  }
  out = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(limited))
                                  << FShift);
}

#if defined(__SSE2__)
namespace {

// The low halves of four 32-bit products; SSE2 multiplies only two at a
// time, as 64-bit results.
__m128i multiplyLow(__m128i a, std::uint32_t factor) {
  const __m128i b = _mm_set1_epi32(static_cast<int>(factor));
  const __m128i even = _mm_mul_epu32(a, b);
  const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), b);
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// mix() on four words.
__m128i mixFour(__m128i x) {
  x = _mm_xor_si128(x, _mm_srli_epi32(x, 16));
  x = multiplyLow(x, kFirstMultiplier);
  x = _mm_xor_si128(x, _mm_srli_epi32(x, 15));
  x = multiplyLow(x, kSecondMultiplier);
  return _mm_xor_si128(x, _mm_srli_epi32(x, 16));
}

} // namespace

// The same arithmetic as convertSample, four samples at a time.
void Quantizer::convertGroups(const float* in, std::int32_t* out, std::size_t count,
                              std::uint32_t first, std::uint32_t key, bool measure,
                              Figures& figures) const {
  const __m128 signless = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m128d signlessWide = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
  const __m128 scale = _mm_set1_ps(FScale);
  const __m128d outerLowest = _mm_set1_pd(FMin - 1.0);
  const __m128d outerHighest = _mm_set1_pd(FMax + 1.0);
  const __m128d lowest = _mm_set1_pd(FMin);
  const __m128d highest = _mm_set1_pd(FMax);
  const __m128d rounder = _mm_set1_pd(kRounder);
  const __m128d step = _mm_set1_pd(FStep);
  const __m128i shift = _mm_cvtsi32_si128(FShift);
  const __m128i noiseKey = _mm_set1_epi32(static_cast<int>(key));
  const __m128i groupStep = _mm_set1_epi32(static_cast<int>(kLanes));
  __m128i positions =
      _mm_add_epi32(_mm_set1_epi32(static_cast<int>(first)), _mm_set_epi32(3, 2, 1, 0));
  __m128 peak = _mm_setzero_ps();
  __m128i clipped = _mm_setzero_si128();
  __m128d writtenPeak = _mm_setzero_pd();
  __m128d writtenSquares = _mm_setzero_pd();

  // Two samples in double; a lane's count of clipped samples goes up by
  // one (subtracting a true mask, -1) for each.
  auto half = [&](__m128d wide) {
    const __m128d bounded = _mm_min_pd(_mm_max_pd(wide, outerLowest), outerHighest);
    const __m128d rounded = _mm_sub_pd(_mm_add_pd(bounded, rounder), rounder);
    const __m128d limited = _mm_min_pd(_mm_max_pd(rounded, lowest), highest);
    clipped = _mm_sub_epi64(clipped, _mm_castpd_si128(_mm_cmpneq_pd(limited, rounded)));
    if (measure) {
      const __m128d level = _mm_mul_pd(limited, step);
      writtenPeak = _mm_max_pd(_mm_and_pd(level, signlessWide), writtenPeak);
      writtenSquares = _mm_add_pd(writtenSquares, _mm_mul_pd(level, level));
    }
    return _mm_cvttpd_epi32(limited);
  };

  for (std::size_t i = 0; i < count; i += kLanes) {
    const __m128 x = _mm_loadu_ps(in + i);
    // With the magnitude first, a NaN leaves the peak as it is.
    peak = _mm_max_ps(_mm_and_ps(x, signless), peak);
    const __m128 product = _mm_mul_ps(x, scale);
    const __m128 scaled = _mm_and_ps(product, _mm_cmpeq_ps(product, product));
    __m128d low = _mm_cvtps_pd(scaled);
    __m128d high = _mm_cvtps_pd(_mm_movehl_ps(scaled, scaled));
    if (FDither) {
      const __m128i noise = mixFour(_mm_xor_si128(positions, noiseKey));
      positions = _mm_add_epi32(positions, groupStep);
      const __m128i difference =
          _mm_sub_epi32(_mm_and_si128(noise, _mm_set1_epi32(0xFFFF)), _mm_srli_epi32(noise, 16));
      const __m128 dither = _mm_mul_ps(_mm_cvtepi32_ps(difference), _mm_set1_ps(kNoiseUnit));
      low = _mm_add_pd(low, _mm_cvtps_pd(dither));
      high = _mm_add_pd(high, _mm_cvtps_pd(_mm_movehl_ps(dither, dither)));
    }
    const __m128i whole = _mm_unpacklo_epi64(half(low), half(high));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sll_epi32(whole, shift));
  }

  alignas(16) float peaks[kLanes];
  _mm_store_ps(peaks, peak);
  for (const float lanePeak : peaks)
    figures.peak = std::max(figures.peak, static_cast<double>(lanePeak));
  alignas(16) std::int64_t counts[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(counts), clipped);
  figures.clipped += static_cast<std::uint64_t>(counts[0] + counts[1]);
  if (measure) {
    alignas(16) double pair[2];
    _mm_store_pd(pair, writtenPeak);
    figures.writtenPeak = std::max({figures.writtenPeak, pair[0], pair[1]});
    _mm_store_pd(pair, writtenSquares);
    figures.writtenSquares += pair[0] + pair[1];
  }
}
#endif

} // namespace glowrasp::render
