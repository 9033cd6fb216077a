// The host's state streams, read and written whole: hosts may move any part
// of the bytes in one call, and a stream may fail half-way.
#pragma once

#include <clap/stream.h>

#include <cstddef>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Everything up to the end of the stream, or nothing when the stream reports
// an error or holds more than `limit` bytes (no state of ours is that long).
std::optional<std::vector<std::uint8_t>> ReadClapStream(const clap_istream_t& stream,
                                                        std::size_t limit);

// True once every byte is written; false when the stream fails or stops taking bytes.
bool WriteClapStream(const clap_ostream_t& stream, std::span<const std::uint8_t> bytes);
