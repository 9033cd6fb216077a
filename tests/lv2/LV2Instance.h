// One instance of the bundle's plug-in, made by lilv as a host makes it, with
// its control ports on values of the test's choosing.
#pragma once

#include "LilvWorld.h"

#include <array>
#include <cstdint>

enum TPortIndex : std::uint32_t {
  kInL,
  kInR,
  kOutL,
  kOutR,
  kGainPort,
  kIntensityPort,
  kOutGainPort,
  kLatencyPort,
  kEnabledPort,
  kPortCount
};

class TLV2Instance {
public:
  explicit TLV2Instance(const TLilvWorld& world, double rate = 44100.0)
      : FInstance(world.Plugin() ? lilv_plugin_instantiate(world.Plugin(), rate, nullptr)
                                 : nullptr) {
    if (!FInstance)
      return;
    lilv_plugin_get_port_ranges_float(world.Plugin(), nullptr, nullptr, FControls.data());
    for (std::uint32_t port = kGainPort; port < kPortCount; ++port)
      lilv_instance_connect_port(FInstance, port, &FControls[port]);
    lilv_instance_activate(FInstance);
  }
  ~TLV2Instance() {
    if (!FInstance)
      return;
    lilv_instance_deactivate(FInstance);
    lilv_instance_free(FInstance);
  }
  TLV2Instance(const TLV2Instance&) = delete;
  TLV2Instance& operator=(const TLV2Instance&) = delete;

  explicit operator bool() const { return FInstance != nullptr; }
  float& Control(std::uint32_t port) { return FControls[port]; }

  void Run(const float* inL, const float* inR, float* outL, float* outR, std::uint32_t frames) {
    lilv_instance_connect_port(FInstance, kInL, const_cast<float*>(inL));
    lilv_instance_connect_port(FInstance, kInR, const_cast<float*>(inR));
    lilv_instance_connect_port(FInstance, kOutL, outL);
    lilv_instance_connect_port(FInstance, kOutR, outR);
    lilv_instance_run(FInstance, frames);
  }

private:
  LilvInstance* FInstance;
  std::array<float, kPortCount> FControls{};
};
