// The saved state's bytes: "KGRS", a 16-bit version, a 16-bit count, that
// many (32-bit id, 32-bit step) pairs, and one byte for the bypass; every
// number little-endian, whatever the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct TStateStep {
  std::int32_t Id;
  std::int32_t Value;
};

struct TStateValues {
  std::vector<TStateStep> Steps;
  bool Bypass = false;
};

inline constexpr std::uint16_t kStateVersion = 1;

std::vector<std::uint8_t> EncodeState(const TStateValues& values);
// The length the record at the start of `bytes` gives itself in its header,
// whatever follows it; nothing without a whole header of this magic.
std::optional<std::size_t> StateRecordSize(std::span<const std::uint8_t> bytes);
// Nothing for a record that is short, longer than its count says, of another
// magic or a newer version, or with a bypass byte other than 0 or 1.
std::optional<TStateValues> DecodeState(std::span<const std::uint8_t> bytes);
