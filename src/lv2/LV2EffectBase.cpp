#include "lv2/LV2EffectBase.h"

#include "lv2/LV2PortValue.h"

#include <bit>
#include <cmath>
#include <limits>

namespace {

// LV2 hosts need not tell a block size, but the effect component creates the
// processor only once it has been told one; the processor does not depend on it.
constexpr std::int32_t kNominalBlockSize = 1024;

std::int32_t RoundedRate(double rate) {
  const double nearest = std::nearbyint(rate);
  if (!(nearest >= 1.0 && nearest <= std::numeric_limits<std::int32_t>::max()))
    return 44100;
  return static_cast<std::int32_t>(nearest);
}

} // namespace

TLV2EffectBase::TLV2EffectBase(double sampleRate)
    : FDefinition(std::make_unique<TEffParameters>(nullptr, TVSTEffectOnCreateEditor())) {
  TVSTParameterHost* host = FDefinition->ParamHost();
  FDefinition->EffectProcessor()->SetVSTParamHost(host);
  host->SetSampleRate(RoundedRate(sampleRate));
  host->SetBlockSize(kNominalBlockSize);
  FLatency = static_cast<float>(FDefinition->EffectProcessor()->GetDelay());
}

void TLV2EffectBase::ConnectPort(std::uint32_t port, void* data) {
  if (port >= lpCount)
    return;
  // Output ports are written by run() alone: until then the buffer is the host's.
  FPorts[port] = static_cast<float*>(data);
}

void TLV2EffectBase::Activate() {
  FDefinition->EffectProcessor()->Clear();
}

void TLV2EffectBase::Run(std::uint32_t sampleCount) {
  // Some hosts run 0 frames just to read the latency: that is all it does.
  ReportLatency();
  if (sampleCount == 0)
    return;
  ReadControls();
  if (sampleCount > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
    return;
  TVSTEffectOnProcessRecord record;
  record.Inputs[0] = FPorts[lpInL];
  record.Inputs[1] = FPorts[lpInR];
  record.Outputs[0] = FPorts[lpOutL];
  record.Outputs[1] = FPorts[lpOutR];
  record.SampleFrames = static_cast<std::int32_t>(sampleCount);
  record.Replacing = -1;
  if (!record.Inputs[0] || !record.Inputs[1] || !record.Outputs[0] || !record.Outputs[1])
    return;
  // One buffer on both inputs is a mono signal, processed once for both outputs.
  TVSTEffect* effect = FDefinition->EffectProcessor();
  if (record.Inputs[0] == record.Inputs[1])
    effect->ProcessS2Sm(&record);
  else
    effect->ProcessS2S(&record);
}

// A value is converted only when its bits differ from the last run's: hosts
// run small blocks, and most runs change no control.
void TLV2EffectBase::ReadControls() {
  TVSTParameters& parameters = FDefinition->ParamHost()->Parameters();
  for (const TLV2PortDescription& port : kLV2Ports) {
    const float* value = FPorts[port.Index];
    if (!value || port.Kind != pkControlIn)
      continue;
    const auto bits = std::bit_cast<std::uint32_t>(*value);
    if (FControlsRead && bits == FControlBits[port.Index])
      continue;
    FControlBits[port.Index] = bits;
    if (port.Role == prParameter)
      parameters.Items(port.Parameter)
          ->SetCurValue(PortValueToCurValue(port, *parameters.Items(port.Parameter), *value));
    else if (port.Role == prEnabled)
      ApplyEnabledPort(!(*value <= 0.0f));
  }
  FControlsRead = true;
}

void TLV2EffectBase::ApplyEnabledPort(bool enabled) {
  FDefinition->EffectProcessor()->SetBypass(!enabled);
}

void TLV2EffectBase::ReportLatency() const {
  if (float* latency = FPorts[lpLatency])
    *latency = FLatency;
}
