// Our bundle's binary through the test host, and the material the tests
// feed it.
#pragma once

#include "Vst3Host.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

// Parameter IDs as hosts save them.
enum TParamId : v3_param_id { kGainId = 0, kIntensityId = 1, kOutGainId = 2, kBypassId = 3 };

// One module, host context and initialized instance.
struct TOurPlugin {
  vst3host::TModule Module{GLOWRASP_VST3_BINARY};
  vst3host::THostApplication Host;
  vst3host::TPluginInstance Plugin{Module, Host};

  v3_edit_controller_cpp** Controller() const { return Plugin.Controller().Get(); }
  v3_edit_controller& Ctrl() const { return (*Controller())->ctrl; }
  v3_component_cpp** Component() const { return Plugin.Component().Get(); }
  v3_component& Comp() const { return (*Component())->comp; }
  v3_audio_processor_cpp** Processor() const { return Plugin.Processor().Get(); }
  v3_audio_processor& Proc() const { return (*Processor())->proc; }

  std::vector<std::uint8_t> SavedState() const {
    vst3host::TMemoryStream stream;
    if (Comp().get_state(Component(), stream.Stream()) != V3_OK)
      return {};
    return stream.Bytes();
  }
};

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
