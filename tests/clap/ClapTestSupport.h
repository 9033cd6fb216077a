// What the CLAP tests share: the plug-in under test, test material and a
// bitwise comparison.
#pragma once

#include "ClapHost.h"
#include "common/TestSignals.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace glowrasp::clap_test {

inline const std::string kClapPath = GLOWRASP_CLAP_PATH;
inline constexpr const char* kPluginId = "com.kestrune.glowrasp";

// Parameter ids, as hosts store them.
enum : clap_id { kGainId = 0, kIntensityId = 1, kOutGainId = 2, kBypassId = 3 };

// A library loaded once for the whole test program, as hosts keep it.
inline const TClapLibrary& OurLibrary() {
  static const TClapLibrary library(kClapPath);
  return library;
}

// Our plug-in in a fresh host, activated and processing when asked.
inline std::unique_ptr<TClapHost> NewPlugin(bool processing = true) {
  auto host = std::make_unique<TClapHost>(OurLibrary(), kPluginId);
  if (processing) {
    host->Activate(44100.0, 1, 4096);
    host->StartProcessing();
  }
  return host;
}

} // namespace glowrasp::clap_test
