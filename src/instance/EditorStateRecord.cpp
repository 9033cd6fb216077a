#include "instance/EditorStateRecord.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'K', 'G', 'R', 'E'};
constexpr std::uint16_t kMinPercent = 100;
constexpr std::uint16_t kMaxPercent = 300;

void PutUInt16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

std::uint16_t GetUInt16(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

} // namespace

std::uint16_t EditorZoomPercent(double zoom) {
  if (!std::isfinite(zoom) || zoom <= 0)
    return 0;
  return static_cast<std::uint16_t>(
      std::lround(std::clamp(zoom * 100, double{kMinPercent}, double{kMaxPercent})));
}

std::vector<std::uint8_t> EncodeEditorState(double zoom) {
  std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
  PutUInt16(out, kEditorStateVersion);
  PutUInt16(out, EditorZoomPercent(zoom));
  return out;
}

std::optional<double> DecodeEditorState(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kEditorStateSize ||
      !std::equal(kMagic.begin(), kMagic.end(), bytes.begin()) ||
      GetUInt16(bytes, 4) != kEditorStateVersion)
    return std::nullopt;
  const std::uint16_t percent = GetUInt16(bytes, 6);
  if (percent == 0)
    return 0.0;
  if (percent < kMinPercent || percent > kMaxPercent)
    return std::nullopt;
  return percent / 100.0;
}
