#include "render/HeaderLength.h"

#include "render/SoundFiles.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace glowrasp::render {
namespace {

using Bytes4 = std::array<unsigned char, 4>;

std::uint32_t little(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i)
    value = value << 8 | bytes[i];
  return value;
}

std::uint32_t big(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i)
    value = value << 8 | bytes[i];
  return value;
}

bool isTag(const unsigned char* bytes, const char* tag) {
  return std::memcmp(bytes, tag, 4) == 0;
}

struct Chunk {
  Bytes4 id;
  std::uint32_t size;
};

// Reads the next chunk header; the stream is then at the chunk's data.
std::optional<Chunk> nextChunk(std::ifstream& file, bool bigEndian) {
  std::array<unsigned char, 8> header{};
  if (!file.read(reinterpret_cast<char*>(header.data()), header.size()))
    return std::nullopt;
  Chunk chunk{{header[0], header[1], header[2], header[3]}, 0};
  chunk.size = bigEndian ? big(&header[4], 4) : little(&header[4], 4);
  return chunk;
}

void skip(std::ifstream& file, const Chunk& chunk, std::uint32_t alreadyRead) {
  // Chunks are padded to an even length.
  file.seekg(std::streamoff{chunk.size} + (chunk.size & 1) - alreadyRead, std::ios::cur);
}

std::optional<sf_count_t> wavFrames(std::ifstream& file) {
  std::uint32_t blockAlign = 0;
  while (const auto chunk = nextChunk(file, false)) {
    if (isTag(chunk->id.data(), "fmt ") && chunk->size >= 16) {
      std::array<unsigned char, 14> fmt{};
      if (!file.read(reinterpret_cast<char*>(fmt.data()), fmt.size()))
        return std::nullopt;
      blockAlign = little(&fmt[12], 2);
      skip(file, *chunk, fmt.size());
    } else if (isTag(chunk->id.data(), "data")) {
      // Streaming writers leave the length open with all ones.
      if (blockAlign == 0 || chunk->size == 0xFFFFFFFFu)
        return std::nullopt;
      return chunk->size / blockAlign;
    } else {
      skip(file, *chunk, 0);
    }
  }
  return std::nullopt;
}

std::optional<sf_count_t> aiffFrames(std::ifstream& file) {
  while (const auto chunk = nextChunk(file, true)) {
    if (isTag(chunk->id.data(), "COMM") && chunk->size >= 6) {
      std::array<unsigned char, 6> comm{};
      if (!file.read(reinterpret_cast<char*>(comm.data()), comm.size()))
        return std::nullopt;
      return big(&comm[2], 4);
    }
    skip(file, *chunk, 0);
  }
  return std::nullopt;
}

} // namespace

std::optional<sf_count_t> promisedFrames(const std::string& path, int format) {
  const int container = format & SF_FORMAT_TYPEMASK;
  // Where a sample's size varies (ADPCM and the like), a header's block is
  // not a frame.
  if ((container != SF_FORMAT_WAV && container != SF_FORMAT_WAVEX && container != SF_FORMAT_AIFF) ||
      sampleBytes(format) == 0)
    return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  std::array<unsigned char, 12> riff{};
  if (!file.read(reinterpret_cast<char*>(riff.data()), riff.size()))
    return std::nullopt;
  if (isTag(&riff[0], "RIFF") && isTag(&riff[8], "WAVE"))
    return wavFrames(file);
  if (isTag(&riff[0], "FORM") && (isTag(&riff[8], "AIFF") || isTag(&riff[8], "AIFC")))
    return aiffFrames(file);
  return std::nullopt;
}

} // namespace glowrasp::render
