// The plug-in instance an LV2 host runs: its ports are read at every run and
// turned into calls on the effect instance.
#pragma once

#include "instance/EffectInstance.h"
#include "lv2/LV2Ports.h"

#include <array>
#include <cstdint>

class TLV2EffectBase {
public:
  // Builds the processor at once: nothing expensive is left for run().
  explicit TLV2EffectBase(double sampleRate);

  void ConnectPort(std::uint32_t port, void* data);
  // The host starts (again) from silence.
  void Activate();
  void Run(std::uint32_t sampleCount);

private:
  void ReadControls();
  void ReportLatency() const;

  TEffectInstance FInstance;
  std::array<float*, lpCount> FPorts{};
  // The control values of the last run, as bits; none before the first run.
  std::array<std::uint32_t, lpCount> FControlBits{};
  bool FControlsRead = false;
  float FLatency = 0.0f;
};
