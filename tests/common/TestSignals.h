// Test material that drives the shaper hard, and a comparison to the bit,
// shared by the format boundaries' tests.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

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
