#include "vst3/Vst3Effect.h"

#include "vst3/Vst3StateStream.h"
#include "vst3/Vst3Text.h"
#include "vst3/Vst3View.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

// The shaper works alike at every rate; the instance needs one to start with.
constexpr double kInitialSampleRate = 44100.0;
constexpr std::int32_t kChannels = 2;
constexpr v3_speaker_arrangement kStereo = V3_SPEAKER_L | V3_SPEAKER_R;
// Far more than any state record of ours.
constexpr std::size_t kStateLimit = 1 << 16;
// Queues beyond these in one block are ignored: hosts send one per parameter.
constexpr std::size_t kMaxQueues = 16;

struct THandlerVtable : v3_funknown {
  v3_component_handler Handler;
};

struct THandler2Vtable : v3_funknown {
  v3_component_handler2 Handler2;
};

THandlerVtable& HandlerCalls(v3_component_handler** handler) {
  return **reinterpret_cast<THandlerVtable**>(handler);
}

// One host queue of parameter changes while a block is split at its points.
// The next point is read from the host once, when the cursor reaches it.
struct TQueueCursor {
  v3_param_value_queue_cpp** Queue;
  std::int32_t Index;
  std::int32_t Count;
  std::int32_t Next = 0;
  std::int32_t Offset = 0;
  double Value = 0;

  bool Pending() const { return Next < Count; }
  // Reads point Next; a point the host cannot give ends the queue.
  void Load() {
    if (Pending() && (*Queue)->queue.get_point(Queue, Next, &Offset, &Value) != V3_OK)
      Next = Count;
  }
};

bool ValidBus(const v3_audio_bus_buffers* buses, std::int32_t count) {
  return buses && count >= 1 && buses[0].num_channels >= kChannels && buses[0].channel_buffers_32 &&
         buses[0].channel_buffers_32[0] && buses[0].channel_buffers_32[1];
}

} // namespace

const v3_component_cpp TVst3Effect::kComponentVtable{
    {TSlot::QueryInterface, TSlot::Ref, TSlot::Unref},
    {Initialize, Terminate},
    {GetControllerClassId, SetIoMode, GetBusCount, GetBusInfo, GetRoutingInfo, ActivateBus,
     SetActive, SetState, GetState}};

const v3_audio_processor_cpp TVst3Effect::kProcessorVtable{
    {TSlot::QueryInterface, TSlot::Ref, TSlot::Unref},
    {SetBusArrangements, GetBusArrangement, CanProcessSampleSize, GetLatencySamples,
     SetupProcessing, SetProcessing, Process, GetTailSamples}};

const v3_edit_controller_cpp TVst3Effect::kControllerVtable{
    {TSlot::QueryInterface, TSlot::Ref, TSlot::Unref},
    {Initialize, Terminate},
    {SetComponentState, SetControllerState, GetControllerState, GetParameterCount, GetParameterInfo,
     GetParameterStringForValue, GetParameterValueForString, NormalizedToPlain, PlainToNormalized,
     GetParameterNormalized, SetParameterNormalized, SetComponentHandler, CreateView}};

const v3_process_context_requirements_cpp TVst3Effect::kContextRequirementsVtable{
    {TSlot::QueryInterface, TSlot::Ref, TSlot::Unref}, {GetProcessContextRequirements}};

TVst3Effect::TVst3Effect() : FInstance(std::make_unique<TEffectInstance>(kInitialSampleRate)) {}

TVst3Effect::~TVst3Effect() {
  if (FHandler)
    HandlerCalls(FHandler).unref(FHandler);
}

void* TVst3Effect::Query(const v3_tuid iid) {
  void* slot = nullptr;
  if (SameInterfaceId(iid, v3_funknown_iid) || SameInterfaceId(iid, v3_plugin_base_iid) ||
      SameInterfaceId(iid, v3_component_iid))
    slot = &FComponent;
  else if (SameInterfaceId(iid, v3_audio_processor_iid))
    slot = &FProcessor;
  else if (SameInterfaceId(iid, v3_edit_controller_iid))
    slot = &FController;
  else if (SameInterfaceId(iid, v3_process_context_requirements_iid))
    slot = &FContextRequirements;
  if (slot)
    AddRef();
  return slot;
}

std::uint32_t TVst3Effect::AddRef() {
  return FReferences.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t TVst3Effect::Release() {
  // The last release must see every earlier use of the object.
  const std::uint32_t left = FReferences.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0)
    delete this;
  return left;
}

void TVst3Effect::BeginEdit(std::int32_t index) {
  if (FHandler)
    HandlerCalls(FHandler).Handler.begin_edit(FHandler, TEffectInstance::Parameter(index).Id);
}

void TVst3Effect::PerformEdit(std::int32_t index, double normalized) {
  FInstance->SetNormalizedValue(index, normalized);
  if (FHandler)
    HandlerCalls(FHandler).Handler.perform_edit(FHandler, TEffectInstance::Parameter(index).Id,
                                                FInstance->NormalizedValue(index));
}

void TVst3Effect::EditorZoomChosen(double zoom) {
  FInstance->SetEditorZoom(zoom);
  if (!FHandler)
    return;
  void* second = nullptr;
  if (HandlerCalls(FHandler).query_interface(FHandler, v3_component_handler2_iid, &second) !=
          V3_OK ||
      !second)
    return;
  auto** handler2 = static_cast<THandler2Vtable**>(second);
  (*handler2)->Handler2.set_dirty(handler2, true);
  (*handler2)->unref(handler2);
}

void TVst3Effect::EndEdit(std::int32_t index) {
  if (FHandler)
    HandlerCalls(FHandler).Handler.end_edit(FHandler, TEffectInstance::Parameter(index).Id);
}

bool TVst3Effect::ClaimEditor(TVst3View* view) {
  if (FView && FView != view)
    return false;
  FView = view;
  return true;
}

void TVst3Effect::ReleaseEditor(const TVst3View* view) {
  if (FView == view)
    FView = nullptr;
}

std::int32_t TVst3Effect::IndexOf(v3_param_id id) {
  if (id > static_cast<v3_param_id>(INT32_MAX))
    return -1;
  return TEffectInstance::ParameterIndex(static_cast<std::int32_t>(id));
}

// ---- shared

v3_result V3_API TVst3Effect::Initialize(void* self, v3_funknown**) {
  ++TSlot::From(self).FInitializations;
  return V3_OK;
}

v3_result V3_API TVst3Effect::Terminate(void* self) {
  TVst3Effect& effect = TSlot::From(self);
  if (effect.FInitializations == 0)
    return V3_FALSE;
  // The host's handler goes with the last terminate; the object may be
  // initialized again.
  if (--effect.FInitializations == 0 && effect.FHandler) {
    HandlerCalls(effect.FHandler).unref(effect.FHandler);
    effect.FHandler = nullptr;
  }
  return V3_OK;
}

// ---- component

v3_result V3_API TVst3Effect::GetControllerClassId(void*, v3_tuid classId) {
  // No separate controller class: the component is its own controller.
  if (classId)
    std::memset(classId, 0, sizeof(v3_tuid));
  return V3_NOT_IMPLEMENTED;
}

v3_result V3_API TVst3Effect::SetIoMode(void*, int32_t) {
  return V3_NOT_IMPLEMENTED;
}

int32_t V3_API TVst3Effect::GetBusCount(void*, int32_t mediaType, int32_t direction) {
  return mediaType == V3_AUDIO && (direction == V3_INPUT || direction == V3_OUTPUT) ? 1 : 0;
}

v3_result V3_API TVst3Effect::GetBusInfo(void*, int32_t mediaType, int32_t direction, int32_t index,
                                         v3_bus_info* info) {
  if (!info || mediaType != V3_AUDIO || index != 0 ||
      (direction != V3_INPUT && direction != V3_OUTPUT))
    return V3_INVALID_ARG;
  *info = {};
  info->media_type = V3_AUDIO;
  info->direction = direction;
  info->channel_count = kChannels;
  vst3::CopyToUtf16(direction == V3_INPUT ? "Stereo In" : "Stereo Out", info->bus_name,
                    std::size(info->bus_name));
  info->bus_type = V3_MAIN;
  info->flags = V3_DEFAULT_ACTIVE;
  return V3_OK;
}

v3_result V3_API TVst3Effect::GetRoutingInfo(void*, v3_routing_info*, v3_routing_info*) {
  return V3_NOT_IMPLEMENTED;
}

v3_result V3_API TVst3Effect::ActivateBus(void*, int32_t mediaType, int32_t direction,
                                          int32_t index, v3_bool) {
  return mediaType == V3_AUDIO && index == 0 && (direction == V3_INPUT || direction == V3_OUTPUT)
             ? V3_OK
             : V3_INVALID_ARG;
}

v3_result V3_API TVst3Effect::SetActive(void* self, v3_bool state) {
  // Each activation starts from silence, as a freshly resumed VST 2 effect does.
  if (state)
    TSlot::From(self).FInstance->Reset();
  return V3_OK;
}

v3_result TVst3Effect::LoadState(v3_bstream** stream) {
  const auto bytes = vst3::ReadRest(stream, kStateLimit);
  if (!bytes || !FInstance->LoadState(*bytes))
    return V3_FALSE;
  return V3_OK;
}

v3_result V3_API TVst3Effect::SetState(void* self, v3_bstream** stream) {
  return TSlot::From(self).LoadState(stream);
}

v3_result V3_API TVst3Effect::GetState(void* self, v3_bstream** stream) {
  return vst3::WriteAll(stream, TSlot::From(self).FInstance->SaveState()) ? V3_OK : V3_FALSE;
}

// ---- audio processor

v3_result V3_API TVst3Effect::SetBusArrangements(void*, v3_speaker_arrangement* inputs,
                                                 int32_t inputCount,
                                                 v3_speaker_arrangement* outputs,
                                                 int32_t outputCount) {
  const bool stereo = inputs && outputs && inputCount == 1 && outputCount == 1 &&
                      inputs[0] == kStereo && outputs[0] == kStereo;
  return stereo ? V3_OK : V3_FALSE;
}

v3_result V3_API TVst3Effect::GetBusArrangement(void*, int32_t direction, int32_t index,
                                                v3_speaker_arrangement* arrangement) {
  if (!arrangement || index != 0 || (direction != V3_INPUT && direction != V3_OUTPUT))
    return V3_INVALID_ARG;
  *arrangement = kStereo;
  return V3_OK;
}

v3_result V3_API TVst3Effect::CanProcessSampleSize(void*, int32_t size) {
  return size == V3_SAMPLE_32 ? V3_OK : V3_FALSE;
}

uint32_t V3_API TVst3Effect::GetLatencySamples(void* self) {
  return static_cast<uint32_t>(TSlot::From(self).FInstance->Latency());
}

v3_result V3_API TVst3Effect::SetupProcessing(void*, v3_process_setup* setup) {
  if (!setup || setup->symbolic_sample_size != V3_SAMPLE_32 ||
      !TEffectInstance::UsableSampleRate(setup->sample_rate) || setup->max_block_size <= 0)
    return V3_FALSE;
  return V3_OK;
}

uint32_t V3_API TVst3Effect::GetProcessContextRequirements(void*) {
  return 0;
}

v3_result V3_API TVst3Effect::SetProcessing(void*, v3_bool) {
  return V3_OK;
}

v3_result V3_API TVst3Effect::Process(void* self, v3_process_data* data) {
  if (!data || data->symbolic_sample_size != V3_SAMPLE_32)
    return V3_INVALID_ARG;
  return TSlot::From(self).ProcessBlock(*data) ? V3_OK : V3_INVALID_ARG;
}

bool TVst3Effect::ProcessBlock(const v3_process_data& data) {
  std::array<TQueueCursor, kMaxQueues> cursors{};
  std::size_t cursorCount = 0;
  if (auto** changes = reinterpret_cast<v3_param_changes_cpp**>(data.input_params)) {
    const std::int32_t queues = (*changes)->changes.get_param_count(changes);
    for (std::int32_t q = 0; q < queues && cursorCount < kMaxQueues; ++q) {
      auto** queue = reinterpret_cast<v3_param_value_queue_cpp**>(
          (*changes)->changes.get_param_data(changes, q));
      if (!queue)
        continue;
      const std::int32_t index = IndexOf((*queue)->queue.get_param_id(queue));
      const std::int32_t count = (*queue)->queue.get_point_count(queue);
      if (index >= 0 && count > 0) {
        cursors[cursorCount] = {queue, index, count};
        cursors[cursorCount++].Load();
      }
    }
  }
  // The queues' next point, earliest first; at one frame, in queue order.
  auto earliest = [&]() -> TQueueCursor* {
    TQueueCursor* first = nullptr;
    for (std::size_t c = 0; c < cursorCount; ++c)
      if (cursors[c].Pending() && (!first || cursors[c].Offset < first->Offset))
        first = &cursors[c];
    return first;
  };

  const std::int32_t frames = data.nframes;
  const bool audio = frames > 0 && ValidBus(data.inputs, data.num_input_buses) &&
                     ValidBus(data.outputs, data.num_output_buses);
  const float* inputs[kChannels] = {};
  float* outputs[kChannels] = {};
  if (audio) {
    inputs[0] = data.inputs[0].channel_buffers_32[0];
    inputs[1] = data.inputs[0].channel_buffers_32[1];
    outputs[0] = data.outputs[0].channel_buffers_32[0];
    outputs[1] = data.outputs[0].channel_buffers_32[1];
    data.outputs[0].channel_silence_bitset = 0;
  } else if (frames > 0 && ValidBus(data.outputs, data.num_output_buses)) {
    // Without input there is nothing to shape; the outputs must not keep stale samples.
    for (std::int32_t ch = 0; ch < kChannels; ++ch)
      std::fill_n(data.outputs[0].channel_buffers_32[ch], frames, 0.0f);
  }
  // Every value holds from its own frame on, in one pass through the block;
  // without audio the values change all the same.
  const std::int32_t length = audio ? frames : 0;
  std::int32_t done = 0;
  std::size_t count = 0;
  const auto processUpTo = [&](std::int32_t end) {
    const float* in[kChannels] = {inputs[0] ? inputs[0] + done : nullptr,
                                  inputs[1] ? inputs[1] + done : nullptr};
    float* out[kChannels] = {outputs[0] ? outputs[0] + done : nullptr,
                             outputs[1] ? outputs[1] + done : nullptr};
    FInstance->Process(in, out, end - done, std::span(FChanges).first(count));
    done = end;
    count = 0;
  };
  for (TQueueCursor* cursor = earliest(); cursor; cursor = earliest()) {
    if (std::isfinite(cursor->Value)) {
      const std::int32_t at = std::clamp(cursor->Offset, done, length);
      if (count == FChanges.size())
        processUpTo(at);
      FChanges[count++] = {at - done, cursor->Index, std::clamp(cursor->Value, 0.0, 1.0)};
    }
    ++cursor->Next;
    cursor->Load();
  }
  processUpTo(length);
  // Frames without a stereo output to take them are a failed call, though
  // the values changed: a block of none only carries changes.
  return frames <= 0 || ValidBus(data.outputs, data.num_output_buses);
}

uint32_t V3_API TVst3Effect::GetTailSamples(void* self) {
  return static_cast<uint32_t>(TSlot::From(self).FInstance->Tail());
}

// ---- edit controller

v3_result V3_API TVst3Effect::SetComponentState(void* self, v3_bstream** stream) {
  // The component is its own controller: the host hands back what the
  // component saved, and the values it holds are already the instance's.
  return TSlot::From(self).LoadState(stream);
}

// The controller's own state is the editor's record alone; an empty one
// (from a build without it, or with nothing kept) keeps no zoom, and so does
// one this build cannot read.
v3_result V3_API TVst3Effect::SetControllerState(void* self, v3_bstream** stream) {
  const auto bytes = vst3::ReadRest(stream, kStateLimit);
  if (!bytes)
    return V3_FALSE;
  TSlot::From(self).FInstance->LoadState(*bytes, TEffectInstance::spEditor);
  return V3_OK;
}

v3_result V3_API TVst3Effect::GetControllerState(void* self, v3_bstream** stream) {
  const auto bytes = TSlot::From(self).FInstance->SaveState(TEffectInstance::spEditor);
  if (bytes.empty())
    return stream ? V3_OK : V3_INVALID_ARG;
  return vst3::WriteAll(stream, bytes) ? V3_OK : V3_FALSE;
}

int32_t V3_API TVst3Effect::GetParameterCount(void*) {
  return TEffectInstance::kParameterCount;
}

v3_result V3_API TVst3Effect::GetParameterInfo(void* self, int32_t index, v3_param_info* info) {
  if (!info || index < 0 || index >= TEffectInstance::kParameterCount)
    return V3_INVALID_ARG;
  const TParameterInfo& p = TEffectInstance::Parameter(index);
  *info = {};
  info->param_id = static_cast<v3_param_id>(p.Id);
  vst3::CopyToUtf16(p.Name, info->title, std::size(info->title));
  vst3::CopyToUtf16(p.ShortName, info->short_title, std::size(info->short_title));
  vst3::CopyToUtf16(p.Unit, info->units, std::size(info->units));
  // The three values move in a million steps, too fine for a host to step
  // through: like the VST 2 build's, they are continuous controls.
  info->step_count = p.IsBypass ? 1 : 0;
  info->default_normalised_value = TSlot::From(self).FInstance->PlainToNormalized(index, p.Default);
  info->unit_id = 0;
  info->flags = V3_PARAM_CAN_AUTOMATE | (p.IsBypass ? V3_PARAM_IS_BYPASS : 0);
  return V3_OK;
}

v3_result V3_API TVst3Effect::GetParameterStringForValue(void* self, v3_param_id id,
                                                         double normalized, v3_str_128 text) {
  const std::int32_t index = IndexOf(id);
  if (index < 0 || !text || !std::isfinite(normalized))
    return V3_INVALID_ARG;
  const std::string value =
      TSlot::From(self).FInstance->ValueText(index, std::clamp(normalized, 0.0, 1.0));
  vst3::CopyToUtf16(value, text, 128);
  return V3_OK;
}

v3_result V3_API TVst3Effect::GetParameterValueForString(void* self, v3_param_id id, int16_t* text,
                                                         double* normalized) {
  const std::int32_t index = IndexOf(id);
  if (index < 0 || !text || !normalized)
    return V3_INVALID_ARG;
  const auto value =
      TSlot::From(self).FInstance->TextToNormalized(index, vst3::FromUtf16(text, 128));
  if (!value)
    return V3_FALSE;
  *normalized = *value;
  return V3_OK;
}

double V3_API TVst3Effect::NormalizedToPlain(void* self, v3_param_id id, double normalized) {
  const std::int32_t index = IndexOf(id);
  return index < 0 ? normalized : TSlot::From(self).FInstance->NormalizedToPlain(index, normalized);
}

double V3_API TVst3Effect::PlainToNormalized(void* self, v3_param_id id, double plain) {
  const std::int32_t index = IndexOf(id);
  return index < 0 ? plain : TSlot::From(self).FInstance->PlainToNormalized(index, plain);
}

double V3_API TVst3Effect::GetParameterNormalized(void* self, v3_param_id id) {
  const std::int32_t index = IndexOf(id);
  return index < 0 ? 0.0 : TSlot::From(self).FInstance->NormalizedValue(index);
}

v3_result V3_API TVst3Effect::SetParameterNormalized(void* self, v3_param_id id,
                                                     double normalized) {
  const std::int32_t index = IndexOf(id);
  if (index < 0 || !std::isfinite(normalized))
    return V3_INVALID_ARG;
  TVst3Effect& effect = TSlot::From(self);
  effect.FInstance->SetNormalizedValue(index, std::clamp(normalized, 0.0, 1.0));
  return V3_OK;
}

v3_result V3_API TVst3Effect::SetComponentHandler(void* self, v3_component_handler** handler) {
  TVst3Effect& effect = TSlot::From(self);
  if (handler == effect.FHandler)
    return V3_OK;
  if (handler)
    HandlerCalls(handler).ref(handler);
  if (effect.FHandler)
    HandlerCalls(effect.FHandler).unref(effect.FHandler);
  effect.FHandler = handler;
  return V3_OK;
}

v3_plugin_view** V3_API TVst3Effect::CreateView(void* self, const char* name) {
  if (!name || std::strcmp(name, "editor") != 0)
    return nullptr;
  return TVst3View::Create(TSlot::From(self));
}
