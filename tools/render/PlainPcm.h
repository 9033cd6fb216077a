// Integer PCM samples as they lie in a WAV or AIFF file's data, packed and
// unpacked here: libsndfile converts them in pieces of 8 KB, a system call
// each, which costs a long render more than the conversion itself.
#pragma once

#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace glowrasp::render {

struct PcmLayout {
  int bytes; // 2, 3 or 4 per sample
  bool bigEndian;
};

// The layout of an open file's samples where they are plain interleaved
// integers of 16, 24 or 32 bits in a container that stores them as they are;
// nothing for every other file, which libsndfile converts.
std::optional<PcmLayout> plainPcmLayout(SNDFILE* file, int format);

// Packed samples to floats at full scale 1, the same values libsndfile reads.
void unpackPcm(const unsigned char* in, std::size_t count, PcmLayout layout, float* out);

// Samples left-aligned in 32 bits, as libsndfile takes integers, to packed
// samples; the bits below the layout's width are dropped.
void packPcm(const std::int32_t* in, std::size_t count, PcmLayout layout, unsigned char* out);

} // namespace glowrasp::render
