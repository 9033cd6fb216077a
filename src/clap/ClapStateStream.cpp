#include "clap/ClapStateStream.h"

std::optional<std::vector<std::uint8_t>> ReadClapStream(const clap_istream_t& stream,
                                                        std::size_t limit) {
  if (!stream.read)
    return std::nullopt;
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[4096];
  for (;;) {
    const std::int64_t got = stream.read(&stream, chunk, sizeof chunk);
    if (got == 0)
      return bytes;
    if (got < 0 || static_cast<std::uint64_t>(got) > sizeof chunk ||
        bytes.size() + static_cast<std::size_t>(got) > limit)
      return std::nullopt;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
}

bool WriteClapStream(const clap_ostream_t& stream, std::span<const std::uint8_t> bytes) {
  if (!stream.write)
    return false;
  while (!bytes.empty()) {
    const std::int64_t put = stream.write(&stream, bytes.data(), bytes.size());
    // A stream that takes nothing would keep us here for ever.
    if (put <= 0 || static_cast<std::uint64_t>(put) > bytes.size())
      return false;
    bytes = bytes.subspan(static_cast<std::size_t>(put));
  }
  return true;
}
