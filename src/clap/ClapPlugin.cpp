#include "clap/ClapPlugin.h"

#include "clap/ClapDescriptor.h"
#include "clap/ClapPluginCalls.h"
#include "clap/ClapStateStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

namespace {

// Far above any state this plug-in writes; a longer stream is not ours.
constexpr std::size_t kStateLimit = std::size_t{64} * 1024;

std::int32_t IndexOf(clap_id id) {
  if (id > static_cast<clap_id>(std::numeric_limits<std::int32_t>::max()))
    return -1;
  return TEffectInstance::ParameterIndex(static_cast<std::int32_t>(id));
}

// Copies `text` into a host's buffer of `size` bytes, cut short if need be.
bool CopyText(const std::string& text, char* to, std::uint32_t size) {
  if (!to || size == 0)
    return false;
  const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(to, text.data(), n);
  to[n] = '\0';
  return true;
}

// A stepped value counts by its whole part, as CLAP defines it: for the
// events that set it and the texts that show it alike.
double SteppedPlain(std::int32_t index, double value) {
  return TEffectInstance::Parameter(index).IsBypass ? std::trunc(value) : value;
}

bool Usable(const clap_audio_buffer_t* buffers, std::uint32_t count, std::uint32_t channels) {
  if (count == 0 || !buffers || !buffers[0].data32 || buffers[0].channel_count < channels)
    return false;
  for (std::uint32_t c = 0; c < channels; ++c)
    if (!buffers[0].data32[c])
      return false;
  return true;
}

} // namespace

TClapPlugin::TClapPlugin(const clap_host_t& host)
    : FHost(host), FPlugin(ClapPluginCalls(GlowraspClapDescriptor(), this)) {}

TClapPlugin* TClapPlugin::From(const clap_plugin_t* plugin) {
  return plugin ? static_cast<TClapPlugin*>(plugin->plugin_data) : nullptr;
}

bool TClapPlugin::Activate(double sampleRate) {
  return FContract.Activate([&] {
    if (!TEffectInstance::UsableSampleRate(sampleRate))
      return false;
    // Hosts deactivate for every change of rate or device: what was playing
    // before must not sound after, and modulation starts again from none.
    FInstance.Reset();
    FInstance.ClearModulation();
    return true;
  });
}

void TClapPlugin::Deactivate() {
  if (FContract.Deactivate())
    FInstance.ClearModulation();
}

void TClapPlugin::Reset() {
  if (FContract.Reset()) {
    FInstance.Reset();
    FInstance.ClearModulation();
  }
}

// Each change takes effect at its own frame, in one pass through the block.
clap_process_status TClapPlugin::Process(const clap_process_t& process) {
  if (!FContract.Process())
    return CLAP_PROCESS_ERROR;
  const clap_input_events_t* in = process.in_events;
  const std::uint32_t count = in && in->size && in->get ? in->size(in) : 0;
  const bool audio = Usable(process.audio_outputs, process.audio_outputs_count, 2);
  if (!audio) {
    ApplyEvents(in);
    SendEdits(process.out_events);
    return CLAP_PROCESS_ERROR;
  }
  const clap_audio_buffer_t* input = Usable(process.audio_inputs, process.audio_inputs_count, 1)
                                         ? &process.audio_inputs[0]
                                         : nullptr;
  std::uint32_t done = 0;
  std::size_t changes = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const clap_event_header_t* event = in->get(in, i);
    const std::optional<TParameterChange> change = event ? ChangeOf(*event) : std::nullopt;
    if (!change)
      continue;
    const std::uint32_t at = std::min(event->time, process.frames_count);
    if (changes == FChanges.size()) {
      ProcessSpan(process, input, done, at, FChanges);
      done = at;
      changes = 0;
    }
    FChanges[changes] = *change;
    FChanges[changes++].Frame = static_cast<std::int32_t>(at - done);
  }
  ProcessSpan(process, input, done, process.frames_count, std::span(FChanges).first(changes));
  SendEdits(process.out_events);
  return CLAP_PROCESS_CONTINUE;
}

void TClapPlugin::ProcessSpan(const clap_process_t& process, const clap_audio_buffer_t* input,
                              std::uint32_t from, std::uint32_t to,
                              std::span<const TParameterChange> changes) {
  float* const* outChannels = process.audio_outputs[0].data32;
  if (from >= to) {
    // No frames: the values still change.
    FInstance.Process(nullptr, nullptr, 0, changes);
    return;
  }
  while (from < to) {
    const std::uint32_t frames =
        std::min<std::uint32_t>(to - from, std::numeric_limits<std::int32_t>::max());
    float* out[2] = {outChannels[0] + from, outChannels[1] + from};
    const float* in[2] = {out[0], out[1]};
    if (input) {
      // One input channel is a mono source: the instance's mono route.
      in[0] = input->data32[0] + from;
      // A second channel the host left null is no channel: the mono route.
      in[1] = input->channel_count >= 2 && input->data32[1] ? input->data32[1] + from : in[0];
    } else {
      // No input port: silence, processed in place.
      std::fill_n(out[0], frames, 0.0f);
      std::fill_n(out[1], frames, 0.0f);
    }
    FInstance.Process(in, out, static_cast<std::int32_t>(frames), changes);
    // A block past the 32-bit frame count takes its changes with its first part.
    changes = {};
    from += frames;
  }
}

std::optional<TParameterChange> TClapPlugin::ChangeOf(const clap_event_header_t& event) const {
  if (event.space_id != CLAP_CORE_EVENT_SPACE_ID)
    return std::nullopt;
  if (event.type == CLAP_EVENT_PARAM_VALUE && event.size >= sizeof(clap_event_param_value_t))
    return ValueChangeOf(reinterpret_cast<const clap_event_param_value_t&>(event));
  if (event.type == CLAP_EVENT_PARAM_MOD && event.size >= sizeof(clap_event_param_mod_t))
    return ModulationOf(reinterpret_cast<const clap_event_param_mod_t&>(event));
  return std::nullopt;
}

std::optional<TParameterChange>
TClapPlugin::ValueChangeOf(const clap_event_param_value_t& change) const {
  const std::int32_t index = IndexOf(change.param_id);
  if (index < 0 || !std::isfinite(change.value))
    return std::nullopt;
  return TParameterChange{static_cast<std::int32_t>(change.header.time), index,
                          FInstance.PlainToNormalized(index, SteppedPlain(index, change.value))};
}

// The amount is in the parameter's plain unit, as values are; the instance
// takes it as a fraction of the range. Amounts aimed at one note or key are
// not for an effect that declares no per-note modulation.
std::optional<TParameterChange>
TClapPlugin::ModulationOf(const clap_event_param_mod_t& modulation) {
  const std::int32_t index = IndexOf(modulation.param_id);
  if (index < 0 || TEffectInstance::Parameter(index).IsBypass ||
      !std::isfinite(modulation.amount) || modulation.note_id >= 0 || modulation.key >= 0)
    return std::nullopt;
  const TParameterInfo& parameter = TEffectInstance::Parameter(index);
  return TParameterChange{static_cast<std::int32_t>(modulation.header.time), index,
                          modulation.amount / (parameter.Max - parameter.Min), true};
}

void TClapPlugin::ApplyEvent(const clap_event_header_t& event) {
  const std::optional<TParameterChange> change = ChangeOf(event);
  if (!change)
    return;
  if (change->Modulation)
    FInstance.SetModulation(change->Index, change->Normalized);
  else
    FInstance.SetNormalizedValue(change->Index, change->Normalized);
}

void TClapPlugin::ApplyEvents(const clap_input_events_t* in) {
  const std::uint32_t count = in && in->size && in->get ? in->size(in) : 0;
  for (std::uint32_t i = 0; i < count; ++i)
    if (const clap_event_header_t* event = in->get(in, i))
      ApplyEvent(*event);
}

void TClapPlugin::SendEdits(const clap_output_events_t* out) {
  // Without a list the edits wait for the next call that brings one.
  if (!out || !out->try_push)
    return;
  FEdits.Drain([&](std::int32_t index, TClapEditStep step, double normalized) {
    const auto id = static_cast<clap_id>(TEffectInstance::Parameter(index).Id);
    if (step == TClapEditStep::Value) {
      clap_event_param_value_t event{};
      event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
      event.param_id = id;
      event.note_id = -1;
      event.port_index = -1;
      event.channel = -1;
      event.key = -1;
      event.value = FInstance.NormalizedToPlain(index, normalized);
      out->try_push(out, &event.header);
    } else {
      clap_event_param_gesture_t event{};
      const std::uint16_t type = step == TClapEditStep::Begin ? CLAP_EVENT_PARAM_GESTURE_BEGIN
                                                              : CLAP_EVENT_PARAM_GESTURE_END;
      event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, type, 0};
      event.param_id = id;
      out->try_push(out, &event.header);
    }
  });
}

void TClapPlugin::Flush(const clap_input_events_t* in, const clap_output_events_t* out) {
  if (!FContract.ParamsFlush())
    return;
  ApplyEvents(in);
  SendEdits(out);
}

bool TClapPlugin::PortInfo(std::uint32_t index, bool isInput, clap_audio_port_info_t& info) {
  if (index != 0)
    return false;
  info = {};
  info.id = 0;
  CopyText(isInput ? "Stereo In" : "Stereo Out", info.name, sizeof info.name);
  info.flags = CLAP_AUDIO_PORT_IS_MAIN;
  info.channel_count = 2;
  info.port_type = CLAP_PORT_STEREO;
  // Input 0 and output 0 may share their buffers.
  info.in_place_pair = 0;
  return true;
}

bool TClapPlugin::ParamInfo(std::uint32_t index, clap_param_info_t& info) {
  if (index >= static_cast<std::uint32_t>(TEffectInstance::kParameterCount))
    return false;
  const TParameterInfo& parameter = TEffectInstance::Parameter(static_cast<std::int32_t>(index));
  info = {};
  info.id = static_cast<clap_id>(parameter.Id);
  info.flags = CLAP_PARAM_IS_AUTOMATABLE;
  if (parameter.IsBypass)
    info.flags |= CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED;
  else
    info.flags |= CLAP_PARAM_IS_MODULATABLE;
  CopyText(parameter.Name, info.name, sizeof info.name);
  info.min_value = parameter.Min;
  info.max_value = parameter.Max;
  info.default_value = parameter.Default;
  return true;
}

std::optional<double> TClapPlugin::ParamValue(clap_id id) const {
  const std::int32_t index = IndexOf(id);
  if (index < 0)
    return std::nullopt;
  return FInstance.NormalizedToPlain(index, FInstance.NormalizedValue(index));
}

bool TClapPlugin::ParamValueText(clap_id id, double value, char* text, std::uint32_t size) const {
  const std::int32_t index = IndexOf(id);
  if (index < 0 || !std::isfinite(value))
    return false;
  // CLAP hosts show the text alone, so it carries the unit.
  std::string shown =
      FInstance.ValueText(index, FInstance.PlainToNormalized(index, SteppedPlain(index, value)));
  const std::string& unit = TEffectInstance::Parameter(index).Unit;
  if (!unit.empty())
    shown += " " + unit;
  return CopyText(shown, text, size);
}

std::optional<double> TClapPlugin::ParamTextValue(clap_id id, const char* text) const {
  const std::int32_t index = IndexOf(id);
  if (index < 0 || !text)
    return std::nullopt;
  const std::optional<double> normalized = FInstance.TextToNormalized(index, text);
  if (!normalized)
    return std::nullopt;
  return FInstance.NormalizedToPlain(index, *normalized);
}

std::uint32_t TClapPlugin::Latency() const {
  return static_cast<std::uint32_t>(FInstance.Latency());
}

std::uint32_t TClapPlugin::Tail() const {
  return static_cast<std::uint32_t>(FInstance.Tail());
}

// The values' record, then the editor's when a zoom is kept: without one the
// state is what earlier builds wrote, and they load it.
bool TClapPlugin::SaveState(const clap_ostream_t& stream) const {
  return WriteClapStream(stream, FInstance.SaveState(TEffectInstance::spAll));
}

bool TClapPlugin::LoadState(const clap_istream_t& stream) {
  const auto bytes = ReadClapStream(stream, kStateLimit);
  if (!bytes)
    return false;
  if (!FInstance.LoadState(*bytes, TEffectInstance::spAll))
    return false;
  // The host reads the new values again, as after any preset load.
  const auto* params =
      FHost.get_extension
          ? static_cast<const clap_host_params_t*>(FHost.get_extension(&FHost, CLAP_EXT_PARAMS))
          : nullptr;
  if (params && params->rescan)
    params->rescan(&FHost, CLAP_PARAM_RESCAN_VALUES);
  return true;
}
