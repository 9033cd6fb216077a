// Reads the plug-in's whole kernel table through its processing path only.
//
// With the drive set so that a sample of 1.0 overshoots full scale a little,
// the kernel an impulse of 1.0 picks rises steadily with Intensity, by less
// than one kernel per step of ten units. Each impulse followed by twelve
// zeros comes out as its kernel's thirteen taps, exactly: the taps are scaled
// by 1.0 on the way in and by an output gain of 0 dB, which is exactly 1.0,
// on the way out. Neighbouring kernels differ, so dropping repeated blocks
// leaves every kernel once, in table order.
#pragma once

#include "hostlib/Parameters.h"
#include "hostlib/PluginHost.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace glowrasp::hosttest {

inline constexpr int kKernelCount = 60000;
inline constexpr int kKernelLength = 13;
inline constexpr char kKernelTableSha256[] =
    "2687ba13c2589014202b2f4637d141782b12847ef1d3b6c0d6359a4b07ab76c7";

// The table as little-endian floats, kernel after kernel.
inline std::vector<std::byte> SweepKernelTable(host::Plugin& plugin) {
  plugin.setSampleRate(44100.0f);
  plugin.setBlockSize(kKernelLength);
  plugin.resume();
  // 0.52375 is +2.28 dB: a drive of about 1.3.
  plugin.setParameter(host::kGain, 0.52375f);
  plugin.setParameter(host::kOutGain, 0.5f);

  std::array<float, kKernelLength> in{1.0f};
  std::array<float, kKernelLength> left{};
  std::array<float, kKernelLength> right{};
  std::array<float, kKernelLength> previous{};
  std::vector<std::byte> table;
  table.reserve(std::size_t{kKernelCount} * kKernelLength * 4);
  int kernels = 0;
  for (int intensity = 0; intensity <= 1000000 && kernels < kKernelCount; intensity += 10) {
    plugin.setParameter(host::kIntensity, static_cast<float>(intensity) / 1e6f);
    std::array<float*, 2> inputs{in.data(), in.data()};
    std::array<float*, 2> outputs{left.data(), right.data()};
    plugin.processReplacing(inputs.data(), outputs.data(), kKernelLength);
    if (kernels > 0 && left == previous)
      continue;
    previous = left;
    ++kernels;
    for (const float tap : left) {
      const auto bits = std::bit_cast<std::uint32_t>(tap);
      for (int shift = 0; shift < 32; shift += 8)
        table.push_back(static_cast<std::byte>((bits >> shift) & 0xFF));
    }
  }
  return table;
}

} // namespace glowrasp::hosttest
