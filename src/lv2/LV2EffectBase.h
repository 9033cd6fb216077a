// The plug-in instance an LV2 host runs: its ports are read at every run and
// turned into calls on the effect definition's parameter host and effect
// component, as the VST boundary does with the host's calls.
#pragma once

#include "lv2/LV2Ports.h"
#include "shaper/EffParams.h"

#include <array>
#include <cstdint>
#include <memory>

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
  // lv2:enabled is the opposite of the soft bypass.
  void ApplyEnabledPort(bool enabled);
  void ReportLatency() const;

  std::unique_ptr<TEffParameters> FDefinition;
  std::array<float*, lpCount> FPorts{};
  // The control values of the last run, as bits; none before the first run.
  std::array<std::uint32_t, lpCount> FControlBits{};
  bool FControlsRead = false;
  float FLatency = 0.0f;
};
