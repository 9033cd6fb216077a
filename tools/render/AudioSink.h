// Where rendered frames go: a file through libsndfile or a WAV stream.
#pragma once

#include <sndfile.h>

#include <cstdint>

namespace glowrasp::render {

class AudioSink {
public:
  virtual ~AudioSink() = default;

  // Interleaved frames. Integer samples are left-aligned in 32 bits.
  virtual void writeFloat(const float* frames, sf_count_t count) = 0;
  virtual void writeInt(const std::int32_t* frames, sf_count_t count) = 0;
  // Finishes the output and reports a failure to do so.
  virtual void close() = 0;
  // The libsndfile format of what is written.
  virtual int format() const = 0;
};

} // namespace glowrasp::render
