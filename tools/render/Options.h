// Command line of glowrasp-render.
#pragma once

#include "hostlib/Parameters.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace glowrasp::render {

// A command line that cannot be run; the message names the culprit.
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

inline constexpr int kDefaultBlock = 512;
inline constexpr int kMaxBlock = 65536;

struct RenderOptions {
  std::string input;
  std::string output;
  std::string screenshot; // non-empty: write a picture of the editor instead of audio
  bool helpOverlay = false;
  std::string plugin; // empty: the default location
  host::Settings settings;
  int block = kDefaultBlock;
  bool floatSamples = false;
  bool compensateLatency = true;
  bool stats = false;
  bool help = false;

  bool editorScreenshot() const { return !screenshot.empty(); }
};

// Throws UsageError. With --help anywhere, the rest is not checked.
RenderOptions parseOptions(const std::vector<std::string>& args);

std::string usageText();

} // namespace glowrasp::render
