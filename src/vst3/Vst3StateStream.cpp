#include "vst3/Vst3StateStream.h"

#include <array>

namespace vst3 {

namespace {

struct TStreamVtable : v3_funknown {
  v3_bstream Stream;
};

TStreamVtable& Calls(v3_bstream** stream) {
  return **reinterpret_cast<TStreamVtable**>(stream);
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReadRest(v3_bstream** stream, std::size_t limit) {
  if (!stream || !*stream)
    return std::nullopt;
  std::vector<std::uint8_t> bytes;
  std::array<std::uint8_t, 1024> chunk{};
  for (;;) {
    std::int32_t got = 0;
    // Hosts' streams differ at their end: some answer a short read with an
    // error. What was read stands; the record itself says whether it is whole.
    const bool ok =
        Calls(stream).Stream.read(stream, chunk.data(), static_cast<std::int32_t>(chunk.size()),
                                  &got) == V3_OK;
    if (got < 0 || static_cast<std::size_t>(got) > chunk.size())
      return std::nullopt;
    if (!ok && got == 0 && bytes.empty())
      return std::nullopt;
    if (got == 0)
      return bytes;
    if (bytes.size() + static_cast<std::size_t>(got) > limit)
      return std::nullopt;
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    if (!ok)
      return bytes;
  }
}

bool WriteAll(v3_bstream** stream, std::span<const std::uint8_t> bytes) {
  if (!stream || !*stream)
    return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::int32_t written = 0;
    // The interface's write takes a pointer to writable bytes; it only reads them.
    auto* data = const_cast<std::uint8_t*>(bytes.data() + done);
    if (Calls(stream).Stream.write(stream, data, static_cast<std::int32_t>(bytes.size() - done),
                                   &written) != V3_OK ||
        written <= 0)
      return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

} // namespace vst3
