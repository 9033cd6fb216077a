// A WAV file written front to back, for outputs that cannot seek (a pipe):
// the header goes out first, with its lengths left open. A reader that
// stops reading does not keep a stop signal waiting.
#pragma once

#include "render/AudioSink.h"
#include "render/StreamWriter.h"

#include <string>
#include <vector>

namespace glowrasp::render {

class WavStream : public AudioSink {
public:
  // format: SF_FORMAT_WAV with PCM_U8, _16, _24, _32, FLOAT or DOUBLE.
  // Writes the header at once.
  WavStream(int descriptor, std::string shownPath, int format, int channels, int sampleRate);

  void writeFloat(const float* frames, sf_count_t count) override;
  void writeInt(const std::int32_t* frames, sf_count_t count) override;
  void close() override;
  int format() const override { return FFormat; }

private:
  void put(const std::vector<unsigned char>& bytes);

  StreamWriter FWriter;
  int FFormat;
  int FSubtype;
  int FChannels;
  int FBytesPerSample;
  std::vector<unsigned char> FBuffer;
};

} // namespace glowrasp::render
