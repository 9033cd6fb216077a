#include "lv2/LV2EffectBase.h"

#include "lv2/LV2PortValue.h"

#include <bit>
#include <limits>

TLV2EffectBase::TLV2EffectBase(double sampleRate)
    : FInstance(sampleRate), FLatency(static_cast<float>(FInstance.Latency())) {}

void TLV2EffectBase::ConnectPort(std::uint32_t port, void* data) {
  if (port >= lpCount)
    return;
  // Output ports are written by run() alone: until then the buffer is the host's.
  FPorts[port] = static_cast<float*>(data);
}

void TLV2EffectBase::Activate() {
  FInstance.Reset();
}

void TLV2EffectBase::Run(std::uint32_t sampleCount) {
  // Some hosts run 0 frames just to read the latency: that is all it does.
  ReportLatency();
  if (sampleCount == 0)
    return;
  ReadControls();
  if (sampleCount > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
    return;
  const float* inputs[2] = {FPorts[lpInL], FPorts[lpInR]};
  float* outputs[2] = {FPorts[lpOutL], FPorts[lpOutR]};
  FInstance.Process(inputs, outputs, static_cast<std::int32_t>(sampleCount));
}

// A value is converted only when its bits differ from the last run's: hosts
// run small blocks, and most runs change no control.
void TLV2EffectBase::ReadControls() {
  for (const TLV2PortDescription& port : kLV2Ports) {
    const float* value = FPorts[port.Index];
    if (!value || port.Kind != pkControlIn)
      continue;
    const auto bits = std::bit_cast<std::uint32_t>(*value);
    if (FControlsRead && bits == FControlBits[port.Index])
      continue;
    FControlBits[port.Index] = bits;
    if (port.Role == prParameter) {
      const std::int32_t steps = TEffectInstance::Parameter(port.Parameter).StepCount;
      FInstance.SetNormalizedValue(port.Parameter,
                                   StepToNormalized(PortValueToStep(port, steps, *value), steps));
    } else if (port.Role == prEnabled) {
      // lv2:enabled is the opposite of the soft bypass.
      FInstance.SetBypass(*value <= 0.0f);
    }
  }
  FControlsRead = true;
}

void TLV2EffectBase::ReportLatency() const {
  if (float* latency = FPorts[lpLatency])
    *latency = FLatency;
}
