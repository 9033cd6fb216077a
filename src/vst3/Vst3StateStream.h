// The host's byte streams for state: all that is left read in, a record
// written out whole.
#pragma once

#include <travesty/bstream.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vst3 {

// What is left in `stream`; nothing when the stream fails or holds more than
// `limit` bytes, which no state of ours does.
std::optional<std::vector<std::uint8_t>> ReadRest(v3_bstream** stream, std::size_t limit);
// Whether all of `bytes` went into `stream`.
bool WriteAll(v3_bstream** stream, std::span<const std::uint8_t> bytes);

} // namespace vst3
