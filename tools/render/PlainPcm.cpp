#include "render/PlainPcm.h"

#include <bit>

namespace glowrasp::render {
namespace {

// Where byte b of a sample goes in the left-aligned 32-bit word.
template <int Bytes, bool BigEndian>
constexpr int shiftOfByte(int b) {
  const int significance = BigEndian ? Bytes - 1 - b : b;
  return 8 * (4 - Bytes + significance);
}

// Calls body.template operator()<Bytes, BigEndian>() for the layout, so each
// loop is compiled for one width and byte order.
template <class Body>
void forLayout(PcmLayout layout, Body&& body) {
  switch (layout.bytes * 2 + (layout.bigEndian ? 1 : 0)) {
  case 4:
    return body.template operator()<2, false>();
  case 5:
    return body.template operator()<2, true>();
  case 6:
    return body.template operator()<3, false>();
  case 7:
    return body.template operator()<3, true>();
  case 8:
    return body.template operator()<4, false>();
  default:
    return body.template operator()<4, true>();
  }
}

} // namespace

std::optional<PcmLayout> plainPcmLayout(SNDFILE* file, int format) {
  switch (format & SF_FORMAT_TYPEMASK) {
  case SF_FORMAT_WAV:
  case SF_FORMAT_WAVEX:
  case SF_FORMAT_W64:
  case SF_FORMAT_RF64:
  case SF_FORMAT_AIFF:
    break;
  default:
    return std::nullopt;
  }
  int bytes = 0;
  switch (format & SF_FORMAT_SUBMASK) {
  case SF_FORMAT_PCM_16:
    bytes = 2;
    break;
  case SF_FORMAT_PCM_24:
    bytes = 3;
    break;
  case SF_FORMAT_PCM_32:
    bytes = 4;
    break;
  default:
    return std::nullopt;
  }
  // The library knows the byte order the file uses (AIFF can hold either).
  const bool swapped = sf_command(file, SFC_RAW_DATA_NEEDS_ENDSWAP, nullptr, 0) == SF_TRUE;
  return PcmLayout{bytes, (std::endian::native == std::endian::big) != swapped};
}

void unpackPcm(const unsigned char* in, std::size_t count, PcmLayout layout, float* out) {
  forLayout(layout, [&]<int Bytes, bool BigEndian>() {
    for (std::size_t i = 0; i < count; ++i, in += Bytes) {
      std::uint32_t word = 0;
      for (int b = 0; b < Bytes; ++b)
        word |= std::uint32_t{in[b]} << shiftOfByte<Bytes, BigEndian>(b);
      // The library's own conversion: the left-aligned integer as a float,
      // times 2^-31.
      out[i] = static_cast<float>(static_cast<std::int32_t>(word)) * 0x1p-31f;
    }
  });
}

void packPcm(const std::int32_t* in, std::size_t count, PcmLayout layout, unsigned char* out) {
  forLayout(layout, [&]<int Bytes, bool BigEndian>() {
    for (std::size_t i = 0; i < count; ++i, out += Bytes) {
      const auto word = static_cast<std::uint32_t>(in[i]);
      for (int b = 0; b < Bytes; ++b)
        out[b] = static_cast<unsigned char>(word >> shiftOfByte<Bytes, BigEndian>(b));
    }
  });
}

} // namespace glowrasp::render
