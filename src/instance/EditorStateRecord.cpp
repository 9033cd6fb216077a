#include "instance/EditorStateRecord.h"

#include "instance/LittleEndian.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'K', 'G', 'R', 'E'};
constexpr std::uint16_t kMinPercent = 100;
constexpr std::uint16_t kMaxPercent = 300;

} // namespace

std::uint16_t EditorZoomPercent(double zoom) {
  if (!std::isfinite(zoom) || zoom <= 0)
    return 0;
  return static_cast<std::uint16_t>(
      std::lround(std::clamp(zoom * 100, double{kMinPercent}, double{kMaxPercent})));
}

std::vector<std::uint8_t> EncodeEditorState(double zoom) {
  std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
  PutLittleEndian(out, kEditorStateVersion, 2);
  PutLittleEndian(out, EditorZoomPercent(zoom), 2);
  return out;
}

std::optional<double> DecodeEditorState(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kEditorStateSize ||
      !std::equal(kMagic.begin(), kMagic.end(), bytes.begin()) ||
      GetLittleEndian(bytes, 4, 2) != kEditorStateVersion)
    return std::nullopt;
  const std::uint32_t percent = GetLittleEndian(bytes, 6, 2);
  if (percent == 0)
    return 0.0;
  if (percent < kMinPercent || percent > kMaxPercent)
    return std::nullopt;
  return percent / 100.0;
}
