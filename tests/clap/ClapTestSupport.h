// What the CLAP tests share: the plug-in under test, test material and a
// bitwise comparison.
#pragma once

#include "ClapHost.h"

#include <bit>
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

// Noise with a level sweep and bursts above full scale, so that the kernel
// choice varies from sample to sample.
inline std::vector<float> LoudNoise(std::size_t frames, std::uint32_t seed) {
  std::vector<float> x(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const float n = static_cast<float>(static_cast<std::int32_t>(seed >> 8) - (1 << 23)) * 0x1p-23f;
    x[i] = n * (0.1f + 0.5f * static_cast<float>(i % 700) / 700.0f) * (i % 450 < 20 ? 6.0f : 1.0f);
  }
  return x;
}

// Where two signals first differ in their bits, or -1.
inline std::ptrdiff_t FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size())
    return 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::bit_cast<std::uint32_t>(a[i]) != std::bit_cast<std::uint32_t>(b[i]))
      return static_cast<std::ptrdiff_t>(i);
  return -1;
}

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
