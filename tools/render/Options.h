// Command line of glowrasp-render.
#pragma once

#include "hostlib/Parameters.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glowrasp::render {

inline constexpr int kDefaultBlock = 512;
inline constexpr int kMaxBlock = 65536;
// As a file name: standard input or standard output.
inline constexpr std::string_view kStandardStream = "-";

struct RenderOptions {
  std::string input;
  std::string output;
  std::string screenshot; // non-empty: write a picture of the editor instead of audio
  bool helpOverlay = false;
  double scale = 1;   // the editor's content scale, as a host asks for it
  std::string plugin; // empty: the default location
  host::Settings settings;
  int block = kDefaultBlock;
  std::optional<int> bits; // integer samples of this width; unset: follow the input
  bool floatSamples = false;
  bool dither = true;
  bool compensateLatency = true;
  bool stats = false;
  bool quiet = false;
  bool help = false;
  bool version = false;

  bool editorScreenshot() const { return !screenshot.empty(); }
};

// Throws tools::UsageError. With --help or --version anywhere, the rest is
// not checked.
RenderOptions parseOptions(const std::vector<std::string>& args);

std::string usageText();

} // namespace glowrasp::render
