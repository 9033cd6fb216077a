#include "render/WavStream.h"

#include "render/PlainPcm.h"
#include "render/SoundFiles.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace glowrasp::render {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
// The lengths are not known when the header goes out; streaming writers
// and readers agree on all ones for that.
constexpr std::uint32_t kUnknownLength = 0xFFFFFFFFu;

// Of the formats sampleBytes() knows, the ones this writer codes.
int bytesPerSample(int subtype) {
  switch (subtype) {
  case SF_FORMAT_PCM_U8:
  case SF_FORMAT_PCM_16:
  case SF_FORMAT_PCM_24:
  case SF_FORMAT_PCM_32:
  case SF_FORMAT_FLOAT:
  case SF_FORMAT_DOUBLE:
    return sampleBytes(subtype);
  default:
    throw std::logic_error("WAV stream cannot write this sample format");
  }
}

bool isFloat(int subtype) {
  return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

void putLittle(std::vector<unsigned char>& bytes, std::uint64_t value, int count) {
  for (int i = 0; i < count; ++i)
    bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void putTag(std::vector<unsigned char>& bytes, const char* tag) {
  bytes.insert(bytes.end(), tag, tag + 4);
}

} // namespace

WavStream::WavStream(int descriptor, std::string shownPath, int format, int channels,
                     int sampleRate)
    : FWriter(descriptor, std::move(shownPath)), FFormat(format),
      FSubtype(format & SF_FORMAT_SUBMASK), FChannels(channels),
      FBytesPerSample(bytesPerSample(FSubtype)) {
  const auto blockAlign = static_cast<std::uint32_t>(channels * FBytesPerSample);
  std::vector<unsigned char> header;
  putTag(header, "RIFF");
  putLittle(header, kUnknownLength, 4);
  putTag(header, "WAVE");
  putTag(header, "fmt ");
  putLittle(header, 16, 4);
  putLittle(header, isFloat(FSubtype) ? kFormatFloat : kFormatPcm, 2);
  putLittle(header, static_cast<std::uint64_t>(channels), 2);
  putLittle(header, static_cast<std::uint64_t>(sampleRate), 4);
  putLittle(header, static_cast<std::uint64_t>(sampleRate) * blockAlign, 4);
  putLittle(header, blockAlign, 2);
  putLittle(header, static_cast<std::uint64_t>(8 * FBytesPerSample), 2);
  putTag(header, "data");
  putLittle(header, kUnknownLength, 4);
  put(header);
}

void WavStream::writeFloat(const float* frames, sf_count_t count) {
  if (!isFloat(FSubtype))
    throw std::logic_error("integer WAV stream given float samples");
  FBuffer.clear();
  for (sf_count_t i = 0; i < count * FChannels; ++i) {
    if (FSubtype == SF_FORMAT_FLOAT) {
      std::uint32_t bits = 0;
      std::memcpy(&bits, &frames[i], sizeof bits);
      putLittle(FBuffer, bits, 4);
    } else {
      const double wide = frames[i];
      std::uint64_t bits = 0;
      std::memcpy(&bits, &wide, sizeof bits);
      putLittle(FBuffer, bits, 8);
    }
  }
  put(FBuffer);
}

void WavStream::writeInt(const std::int32_t* frames, sf_count_t count) {
  if (isFloat(FSubtype))
    throw std::logic_error("float WAV stream given integer samples");
  const auto samples = static_cast<std::size_t>(count * FChannels);
  FBuffer.clear();
  if (FSubtype != SF_FORMAT_PCM_U8) {
    FBuffer.resize(samples * static_cast<std::size_t>(FBytesPerSample));
    packPcm(frames, samples, PcmLayout{FBytesPerSample, false}, FBuffer.data());
  } else {
    // 8-bit WAV samples are unsigned.
    for (std::size_t i = 0; i < samples; ++i)
      FBuffer.push_back(static_cast<unsigned char>((frames[i] >> 24) + 128));
  }
  put(FBuffer);
}

void WavStream::close() {
  // Nothing is buffered, and the descriptor belongs to the caller.
}

void WavStream::put(const std::vector<unsigned char>& bytes) {
  FWriter.write(bytes.data(), bytes.size());
}

} // namespace glowrasp::render
