// The editor's part of a saved instance: "KGRE", a 16-bit version and the
// user's zoom as a 16-bit whole percent (0: follow the host), every number
// little-endian. Kept apart from the values' record, so that a state without
// it still loads and the values' record stays what earlier builds wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr std::uint16_t kEditorStateVersion = 1;
inline constexpr std::size_t kEditorStateSize = 8;

// A zoom in whole percent: 0 to follow the host (so for anything not above 0
// or not finite), else 100 to 300, the zoom clamped to 1 to 3.
std::uint16_t EditorZoomPercent(double zoom);
// zoom: 0 to follow the host, else 1 to 3 (clamped), kept in whole percent.
std::vector<std::uint8_t> EncodeEditorState(double zoom);
// The zoom (0: follow the host); nothing for a record that is short or long,
// of another magic or version, or with a zoom other than 0 or 100 to 300 %.
std::optional<double> DecodeEditorState(std::span<const std::uint8_t> bytes);
