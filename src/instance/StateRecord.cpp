#include "instance/StateRecord.h"

#include "instance/LittleEndian.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'K', 'G', 'R', 'S'};
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kStepSize = 8;

} // namespace

std::vector<std::uint8_t> EncodeState(const TStateValues& values) {
  std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
  PutLittleEndian(out, kStateVersion, 2);
  PutLittleEndian(out, static_cast<std::uint32_t>(values.Steps.size()), 2);
  for (const TStateStep& step : values.Steps) {
    PutLittleEndian(out, static_cast<std::uint32_t>(step.Id), 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(step.Value), 4);
  }
  out.push_back(values.Bypass ? 1 : 0);
  return out;
}

std::optional<std::size_t> StateRecordSize(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin()))
    return std::nullopt;
  return kHeaderSize + GetLittleEndian(bytes, 6, 2) * kStepSize + 1;
}

std::optional<TStateValues> DecodeState(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize + 1 || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin()))
    return std::nullopt;
  const std::uint32_t version = GetLittleEndian(bytes, 4, 2);
  const std::size_t count = GetLittleEndian(bytes, 6, 2);
  if (version != kStateVersion || bytes.size() != StateRecordSize(bytes))
    return std::nullopt;
  const std::uint8_t bypass = bytes.back();
  if (bypass > 1)
    return std::nullopt;
  TStateValues values;
  values.Bypass = bypass == 1;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kHeaderSize + i * kStepSize;
    values.Steps.push_back({static_cast<std::int32_t>(GetLittleEndian(bytes, at, 4)),
                            static_cast<std::int32_t>(GetLittleEndian(bytes, at + 4, 4))});
  }
  return values;
}
