#include "Vst3Host.h"

#include "hostlib/HostError.h"

#include <algorithm>
#include <cstring>

#ifndef _WIN32
#include <dlfcn.h>
#include <poll.h>
#endif

namespace vst3host {

using glowrasp::host::HostError;

std::string FromUtf16(const int16_t* text, std::size_t capacity) {
  std::string result;
  for (std::size_t i = 0; i < capacity && text[i] != 0; ++i) {
    std::uint32_t c = static_cast<std::uint16_t>(text[i]);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < capacity) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint16_t>(text[++i]) - 0xDC00);
    }
    if (c < 0x80) {
      result += static_cast<char>(c);
    } else if (c < 0x800) {
      result += static_cast<char>(0xC0 | (c >> 6));
      result += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      result += static_cast<char>(0xE0 | (c >> 12));
      result += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      result += static_cast<char>(0xF0 | (c >> 18));
      result += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      result += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return result;
}

std::vector<int16_t> ToUtf16(const std::string& text) {
  // The tests type ASCII and the odd two-byte character such as the degree sign.
  std::vector<int16_t> result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0xC0 && i + 1 < text.size()) {
      result.push_back(static_cast<int16_t>(((c & 0x1F) << 6) | (text[++i] & 0x3F)));
    } else {
      result.push_back(static_cast<int16_t>(c));
    }
  }
  result.push_back(0);
  return result;
}

bool SameId(const v3_tuid a, const v3_tuid b) {
  return std::memcmp(a, b, sizeof(v3_tuid)) == 0;
}

namespace {

// Host objects live as long as the test that made them; counting is moot.
uint32_t V3_API KeepAlive(void*) {
  return 1;
}

// Answers with the object itself for FUnknown and each of `kIids`.
template <const v3_tuid&... kIids>
v3_result V3_API AnswerSelfFor(void* self, const v3_tuid iid, void** object) {
  const bool known = SameId(iid, v3_funknown_iid) || (SameId(iid, kIids) || ...);
  *object = known ? self : nullptr;
  return known ? V3_OK : V3_NO_INTERFACE;
}

} // namespace

// ---- host application

THostApplication::THostApplication() {
  FVtable.query_interface = AnswerSelfFor<v3_host_application_iid>;
  FVtable.ref = KeepAlive;
  FVtable.unref = KeepAlive;
  FVtable.app.get_name = [](void*, v3_str_128 name) V3_API -> v3_result {
    const std::vector<int16_t> text = ToUtf16("Glowrasp test host");
    std::copy(text.begin(), text.end(), name);
    return V3_OK;
  };
  FVtable.app.create_instance = [](void*, v3_tuid, v3_tuid, void** object) V3_API -> v3_result {
    *object = nullptr;
    return V3_NOT_IMPLEMENTED;
  };
}

// ---- module

TModule::TModule(const std::string& binary) : FLibrary(binary) {
#ifdef _WIN32
  using TInit = bool (*)();
  if (auto init = reinterpret_cast<TInit>(FLibrary.symbol("InitDll"))) {
    if (!init())
      throw HostError("InitDll failed");
    FEntered = true;
  }
#else
  using TEntry = bool (*)(void*);
  auto entry = reinterpret_cast<TEntry>(FLibrary.symbol("ModuleEntry"));
  if (!entry)
    throw HostError("no ModuleEntry in " + binary);
  void* handle = dlopen(binary.c_str(), RTLD_NOW | RTLD_NOLOAD);
  const bool entered = entry(handle);
  if (handle)
    dlclose(handle);
  if (!entered)
    throw HostError("ModuleEntry failed");
  FEntered = true;
#endif
  using TGetFactory = v3_plugin_factory_cpp** (*)();
  auto getFactory = reinterpret_cast<TGetFactory>(FLibrary.symbol("GetPluginFactory"));
  if (!getFactory)
    throw HostError("no GetPluginFactory in " + binary);
  FFactory = TRef<v3_plugin_factory_cpp>(getFactory());
  if (!FFactory)
    throw HostError("GetPluginFactory returned nothing");
}

TModule::~TModule() {
  FFactory.Reset();
  if (!FEntered)
    return;
  using TExit = bool (*)();
#ifdef _WIN32
  const char* exitName = "ExitDll";
#else
  const char* exitName = "ModuleExit";
#endif
  if (auto exit = reinterpret_cast<TExit>(FLibrary.symbol(exitName)))
    exit();
}

v3_factory_info TModule::FactoryInfo() const {
  v3_factory_info info{};
  if (FFactory->v1.get_factory_info(FFactory.Get(), &info) != V3_OK)
    throw HostError("get_factory_info failed");
  return info;
}

std::vector<TClassInfo> TModule::Classes() const {
  std::vector<TClassInfo> classes;
  const auto factory2 = FFactory.Query<v3_plugin_factory_cpp>(v3_plugin_factory_2_iid);
  const auto factory3 = FFactory.Query<v3_plugin_factory_cpp>(v3_plugin_factory_3_iid);
  const std::int32_t count = FFactory->v1.num_classes(FFactory.Get());
  for (std::int32_t i = 0; i < count; ++i) {
    TClassInfo c;
    if (factory3) {
      v3_class_info_3 info{};
      if (factory3->v3.get_class_info_utf16(factory3.Get(), i, &info) != V3_OK)
        throw HostError("get_class_info_utf16 failed");
      std::memcpy(c.Id, info.class_id, sizeof c.Id);
      c = {{},
           info.category,
           FromUtf16(info.name, 64),
           info.class_flags,
           info.sub_categories,
           FromUtf16(info.vendor, 64),
           FromUtf16(info.version, 64),
           FromUtf16(info.sdk_version, 64)};
      std::memcpy(c.Id, info.class_id, sizeof c.Id);
    } else if (factory2) {
      v3_class_info_2 info{};
      if (factory2->v2.get_class_info_2(factory2.Get(), i, &info) != V3_OK)
        throw HostError("get_class_info_2 failed");
      c = {{},          info.category, info.name,       info.class_flags, info.sub_categories,
           info.vendor, info.version,  info.sdk_version};
      std::memcpy(c.Id, info.class_id, sizeof c.Id);
    } else {
      v3_class_info info{};
      if (FFactory->v1.get_class_info(FFactory.Get(), i, &info) != V3_OK)
        throw HostError("get_class_info failed");
      c.Category = info.category;
      c.Name = info.name;
      std::memcpy(c.Id, info.class_id, sizeof c.Id);
    }
    classes.push_back(std::move(c));
  }
  return classes;
}

// ---- memory stream

TMemoryStream::TMemoryStream(std::vector<std::uint8_t> bytes) : FBytes(std::move(bytes)) {
  FVtable.query_interface = AnswerSelfFor<v3_bstream_iid>;
  FVtable.ref = KeepAlive;
  FVtable.unref = KeepAlive;
  FVtable.Stream.read = [](void* self, void* buffer, int32_t size, int32_t* done)
                            V3_API -> v3_result {
    TMemoryStream& s = TSelf::From(self);
    if (size < 0)
      return V3_INVALID_ARG;
    const auto left = static_cast<std::int64_t>(s.FBytes.size()) - s.FPosition;
    const auto n = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(std::min<std::int64_t>(size, s.ReadLimit), 0, left));
    if (n > 0)
      std::memcpy(buffer, s.FBytes.data() + s.FPosition, static_cast<std::size_t>(n));
    s.FPosition += n;
    if (done)
      *done = n;
    if (s.FailsShortReads && n < size)
      return V3_FALSE;
    return V3_OK;
  };
  FVtable.Stream.write = [](void* self, void* buffer, int32_t size, int32_t* done)
                             V3_API -> v3_result {
    TMemoryStream& s = TSelf::From(self);
    if (size < 0)
      return V3_INVALID_ARG;
    const auto end = static_cast<std::size_t>(s.FPosition) + static_cast<std::size_t>(size);
    if (s.FBytes.size() < end)
      s.FBytes.resize(end);
    if (size > 0)
      std::memcpy(s.FBytes.data() + s.FPosition, buffer, static_cast<std::size_t>(size));
    s.FPosition += size;
    if (done)
      *done = size;
    return V3_OK;
  };
  FVtable.Stream.seek = [](void* self, int64_t pos, int32_t mode, int64_t* result)
                            V3_API -> v3_result {
    TMemoryStream& s = TSelf::From(self);
    const std::int64_t base = mode == V3_SEEK_SET   ? 0
                              : mode == V3_SEEK_CUR ? s.FPosition
                                                    : static_cast<std::int64_t>(s.FBytes.size());
    if (base + pos < 0)
      return V3_INVALID_ARG;
    s.FPosition = base + pos;
    if (result)
      *result = s.FPosition;
    return V3_OK;
  };
  FVtable.Stream.tell = [](void* self, int64_t* pos) V3_API -> v3_result {
    *pos = TSelf::From(self).FPosition;
    return V3_OK;
  };
}

// ---- parameter changes

TParameterChanges::TParameterChanges() {
  constexpr auto query = AnswerSelfFor<v3_param_changes_iid, v3_param_value_queue_iid>;
  FVtable.query_interface = query;
  FVtable.ref = KeepAlive;
  FVtable.unref = KeepAlive;
  FVtable.changes.get_param_count = [](void* self) V3_API -> int32_t {
    auto& changes = TSelf::From(self);
    return static_cast<int32_t>(changes.FQueues.size());
  };
  FVtable.changes.get_param_data = [](void* self, int32_t index) V3_API -> v3_param_value_queue** {
    auto& changes = TSelf::From(self);
    if (index < 0 || static_cast<std::size_t>(index) >= changes.FQueues.size())
      return nullptr;
    return reinterpret_cast<v3_param_value_queue**>(&changes.FQueues[index]->Self);
  };
  // What a plug-in reports back: its output parameters.
  FVtable.changes.add_param_data = [](void* self, v3_param_id* id, int32_t* index)
                                       V3_API -> v3_param_value_queue** {
    if (!id)
      return nullptr;
    TParameterChanges& changes = TSelf::From(self);
    const std::size_t at = changes.QueueIndex(*id);
    if (index)
      *index = static_cast<int32_t>(at);
    return reinterpret_cast<v3_param_value_queue**>(&changes.FQueues[at]->Self);
  };
  FQueueVtable.query_interface = query;
  FQueueVtable.ref = KeepAlive;
  FQueueVtable.unref = KeepAlive;
  FQueueVtable.queue.get_param_id = [](void* self)
                                        V3_API -> v3_param_id { return TQueueSelf::From(self).Id; };
  FQueueVtable.queue.get_point_count = [](void* self) V3_API -> int32_t {
    return static_cast<int32_t>(TQueueSelf::From(self).Points.size());
  };
  FQueueVtable.queue.get_point = [](void* self, int32_t index, int32_t* offset, double* value)
                                     V3_API -> v3_result {
    const auto& points = TQueueSelf::From(self).Points;
    if (index < 0 || static_cast<std::size_t>(index) >= points.size())
      return V3_INVALID_ARG;
    *offset = points[index].first;
    *value = points[index].second;
    return V3_OK;
  };
  FQueueVtable.queue.add_point = [](void* self, int32_t offset, double value, int32_t* index)
                                     V3_API -> v3_result {
    auto& points = TQueueSelf::From(self).Points;
    points.emplace_back(offset, value);
    if (index)
      *index = static_cast<int32_t>(points.size() - 1);
    return V3_OK;
  };
}

std::size_t TParameterChanges::QueueIndex(v3_param_id id) {
  const auto found = std::find_if(FQueues.begin(), FQueues.end(),
                                  [id](const auto& queue) { return queue->Id == id; });
  if (found != FQueues.end())
    return static_cast<std::size_t>(found - FQueues.begin());
  auto queue = std::make_unique<TQueue>(TQueue{id, {}, {&FQueueVtable, nullptr}});
  queue->Self.Owner = queue.get();
  FQueues.push_back(std::move(queue));
  return FQueues.size() - 1;
}

void TParameterChanges::Add(v3_param_id id, std::int32_t offset, double value) {
  FQueues[QueueIndex(id)]->Points.emplace_back(offset, value);
}

// ---- component handler

void PrintTo(const THandlerEvent& e, std::ostream* os) {
  static const char* const kinds[] = {"begin", "perform", "end", "restart"};
  *os << kinds[e.Kind] << " " << e.Id;
  if (e.Kind == THandlerEvent::hePerform)
    *os << " = " << e.Value;
}

v3_result TComponentHandler::Query(const v3_tuid iid, void** object) {
  if (SameId(iid, v3_funknown_iid) || SameId(iid, v3_component_handler_iid))
    *object = &FSelf;
  else if (SameId(iid, v3_component_handler2_iid))
    *object = &FSelf2;
  else
    *object = nullptr;
  return *object ? V3_OK : V3_NO_INTERFACE;
}

TComponentHandler::TComponentHandler() {
  FVtable.query_interface = [](void* self, const v3_tuid iid, void** object) V3_API -> v3_result {
    return TSelf::From(self).Query(iid, object);
  };
  FVtable.ref = KeepAlive;
  FVtable.unref = KeepAlive;
  FVtable2.query_interface = [](void* self, const v3_tuid iid, void** object) V3_API -> v3_result {
    return TSelf2::From(self).Query(iid, object);
  };
  FVtable2.ref = KeepAlive;
  FVtable2.unref = KeepAlive;
  FVtable2.handler2.set_dirty = [](void* self, v3_bool state) V3_API -> v3_result {
    if (state)
      ++TSelf2::From(self).DirtyMarks;
    return V3_OK;
  };
  FVtable2.handler2.request_open_editor = [](void*, const char*)
                                              V3_API -> v3_result { return V3_NOT_IMPLEMENTED; };
  FVtable2.handler2.start_group_edit = [](void*) V3_API -> v3_result { return V3_OK; };
  FVtable2.handler2.finish_group_edit = [](void*) V3_API -> v3_result { return V3_OK; };
  FVtable.handler.begin_edit = [](void* self, v3_param_id id) V3_API -> v3_result {
    TSelf::From(self).Events.push_back({THandlerEvent::heBegin, id, 0});
    return V3_OK;
  };
  FVtable.handler.perform_edit = [](void* self, v3_param_id id, double value) V3_API -> v3_result {
    TSelf::From(self).Events.push_back({THandlerEvent::hePerform, id, value});
    return V3_OK;
  };
  FVtable.handler.end_edit = [](void* self, v3_param_id id) V3_API -> v3_result {
    TSelf::From(self).Events.push_back({THandlerEvent::heEnd, id, 0});
    return V3_OK;
  };
  FVtable.handler.restart_component = [](void* self, int32_t flags) V3_API -> v3_result {
    TSelf::From(self).Events.push_back(
        {THandlerEvent::heRestart, static_cast<std::uint32_t>(flags), 0});
    return V3_OK;
  };
}

// ---- plug frame and run loop

TPlugFrame::TPlugFrame() {
  FVtable.query_interface = [](void* self, const v3_tuid iid, void** object) V3_API -> v3_result {
    TPlugFrame& frame = TSelf::From(self);
    if (SameId(iid, v3_funknown_iid) || SameId(iid, v3_plugin_frame_iid)) {
      *object = self;
      return V3_OK;
    }
    if (SameId(iid, v3_run_loop_iid)) {
      *object = &frame.FLoopSelf;
      return V3_OK;
    }
    *object = nullptr;
    return V3_NO_INTERFACE;
  };
  FVtable.ref = KeepAlive;
  FVtable.unref = KeepAlive;
  FVtable.Frame.resize_view = [](void* self, v3_plugin_view** view, v3_view_rect* rect)
                                  V3_API -> v3_result {
    TPlugFrame& frame = TSelf::From(self);
    frame.ResizeRequests.emplace_back(rect->right - rect->left, rect->bottom - rect->top);
    auto** calls = reinterpret_cast<v3_plugin_view_cpp**>(view);
    if (!calls || (*calls)->view.on_size(calls, rect) != V3_OK)
      ++frame.RefusedSizes;
    return V3_OK;
  };
  FLoopVtable.query_interface = AnswerSelfFor<v3_run_loop_iid>;
  FLoopVtable.ref = KeepAlive;
  FLoopVtable.unref = KeepAlive;
  FLoopVtable.Loop.register_event_handler = [](void* self, v3_event_handler** handler, int fd)
                                                V3_API -> v3_result {
    if (!handler)
      return V3_INVALID_ARG;
    TLoopSelf::From(self).FHandlers.emplace_back(reinterpret_cast<v3_event_handler_cpp**>(handler),
                                                 fd);
    return V3_OK;
  };
  FLoopVtable.Loop.unregister_event_handler = [](void* self, v3_event_handler** handler)
                                                  V3_API -> v3_result {
    auto& handlers = TLoopSelf::From(self).FHandlers;
    const auto before = handlers.size();
    std::erase_if(handlers, [handler](const auto& h) {
      return h.first == reinterpret_cast<v3_event_handler_cpp**>(handler);
    });
    return handlers.size() < before ? V3_OK : V3_INVALID_ARG;
  };
  FLoopVtable.Loop.register_timer = [](void* self, v3_timer_handler** timer, uint64_t)
                                        V3_API -> v3_result {
    if (!timer)
      return V3_INVALID_ARG;
    TLoopSelf::From(self).FTimers.push_back(reinterpret_cast<v3_timer_handler_cpp**>(timer));
    return V3_OK;
  };
  FLoopVtable.Loop.unregister_timer = [](void* self, v3_timer_handler** timer) V3_API -> v3_result {
    auto& timers = TLoopSelf::From(self).FTimers;
    const auto before = timers.size();
    std::erase(timers, reinterpret_cast<v3_timer_handler_cpp**>(timer));
    return timers.size() < before ? V3_OK : V3_INVALID_ARG;
  };
}

void TPlugFrame::Pump() {
#ifndef _WIN32
  // Copies: a handler may unregister itself from inside its call.
  const auto handlers = FHandlers;
  for (const auto& [handler, fd] : handlers) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) > 0)
      (*handler)->handler.on_fd_is_set(handler, fd);
  }
#endif
  const auto timers = FTimers;
  for (auto* timer : timers)
    (*timer)->timer.on_timer(timer);
}

// ---- plug-in instance

TPluginInstance::TPluginInstance(const TModule& module, THostApplication& host) {
  const std::vector<TClassInfo> classes = module.Classes();
  const auto audio = std::find_if(classes.begin(), classes.end(), [](const TClassInfo& c) {
    return c.Category == "Audio Module Class";
  });
  if (audio == classes.end())
    throw HostError("no audio module class");
  void* object = nullptr;
  auto* factory = module.Factory();
  if ((*factory)->v1.create_instance(factory, audio->Id, v3_component_iid, &object) != V3_OK ||
      !object)
    throw HostError("create_instance refused the audio module class");
  FComponent = TRef<v3_component_cpp>(static_cast<v3_component_cpp**>(object));
  if (FComponent->base.initialize(FComponent.Get(), host.Unknown()) != V3_OK)
    throw HostError("the component's initialize failed");
  FProcessor = FComponent.Query<v3_audio_processor_cpp>(v3_audio_processor_iid);
  if (!FProcessor)
    throw HostError("the component is no audio processor");

  FController = FComponent.Query<v3_edit_controller_cpp>(v3_edit_controller_iid);
  FSingle = static_cast<bool>(FController);
  if (FSingle)
    return;
  v3_tuid controllerId{};
  if (FComponent->comp.get_controller_class_id(FComponent.Get(), controllerId) != V3_OK)
    return;
  object = nullptr;
  if ((*factory)->v1.create_instance(factory, controllerId, v3_edit_controller_iid, &object) !=
          V3_OK ||
      !object)
    return;
  FController = TRef<v3_edit_controller_cpp>(static_cast<v3_edit_controller_cpp**>(object));
  FControllerInitialized = FController->base.initialize(FController.Get(), host.Unknown()) == V3_OK;
}

TPluginInstance::~TPluginInstance() {
  Stop();
  if (FControllerInitialized)
    FController->base.terminate(FController.Get());
  FController.Reset();
  FProcessor.Reset();
  if (FComponent)
    FComponent->base.terminate(FComponent.Get());
}

bool TPluginInstance::Start(double sampleRate, std::int32_t maxBlock) {
  v3_speaker_arrangement stereo = V3_SPEAKER_L | V3_SPEAKER_R;
  v3_speaker_arrangement outStereo = stereo;
  if (FProcessor->proc.set_bus_arrangements(FProcessor.Get(), &stereo, 1, &outStereo, 1) != V3_OK)
    return false;
  v3_process_setup setup{V3_REALTIME, V3_SAMPLE_32, maxBlock, sampleRate};
  if (FProcessor->proc.setup_processing(FProcessor.Get(), &setup) != V3_OK)
    return false;
  if (FComponent->comp.set_active(FComponent.Get(), 1) != V3_OK)
    return false;
  FActive = true;
  // Some plug-ins answer "not implemented" here and process all the same.
  FProcessor->proc.set_processing(FProcessor.Get(), 1);
  FProcessing = true;
  return true;
}

void TPluginInstance::Stop() {
  if (FProcessing)
    FProcessor->proc.set_processing(FProcessor.Get(), 0);
  if (FActive)
    FComponent->comp.set_active(FComponent.Get(), 0);
  FProcessing = FActive = false;
}

v3_result TPluginInstance::Process(float* const* inputs, float* const* outputs, std::int32_t frames,
                                   v3_param_changes** changes) {
  v3_audio_bus_buffers in{};
  in.num_channels = 2;
  in.channel_buffers_32 = const_cast<float**>(inputs);
  v3_audio_bus_buffers out{};
  out.num_channels = 2;
  out.channel_buffers_32 = const_cast<float**>(outputs);
  v3_process_data data{};
  data.process_mode = V3_REALTIME;
  data.symbolic_sample_size = V3_SAMPLE_32;
  data.nframes = frames;
  data.num_input_buses = 1;
  data.num_output_buses = 1;
  data.inputs = &in;
  data.outputs = &out;
  data.input_params = changes;
  FOutputChanges.Clear();
  data.output_params = FOutputChanges.Changes();
  return FProcessor->proc.process(FProcessor.Get(), &data);
}

std::vector<v3_param_info> TPluginInstance::Parameters() const {
  std::vector<v3_param_info> parameters;
  if (!FController)
    return parameters;
  const std::int32_t count = FController->ctrl.get_parameter_count(FController.Get());
  for (std::int32_t i = 0; i < count; ++i) {
    v3_param_info info{};
    if (FController->ctrl.get_parameter_info(FController.Get(), i, &info) == V3_OK)
      parameters.push_back(info);
  }
  return parameters;
}

} // namespace vst3host
