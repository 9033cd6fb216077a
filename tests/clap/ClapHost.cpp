#include "ClapHost.h"

#include "hostlib/HostError.h"

#include <algorithm>
#include <cstring>
#include <iostream>

#ifndef _WIN32
#include <poll.h>
#endif

namespace glowrasp::clap_test {

using glowrasp::host::HostError;

namespace {

// Each thread's own: its address names the thread, its value counts the
// audio calls the thread is in.
thread_local int tlsAudioCalls = 0;

void PrintMisbehaviour(const std::string& report) {
  std::cerr << "host misbehaviour: " << report << '\n';
}

TMisbehaviourSink Sink = &PrintMisbehaviour;

// Holds a spin lock for the scope's life.
class TSpinGuard {
public:
  explicit TSpinGuard(std::atomic_flag& flag) : FFlag(flag) {
    while (FFlag.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~TSpinGuard() { FFlag.clear(std::memory_order_release); }
  TSpinGuard(const TSpinGuard&) = delete;
  TSpinGuard& operator=(const TSpinGuard&) = delete;

private:
  std::atomic_flag& FFlag;
};

} // namespace

void SetMisbehaviourSink(TMisbehaviourSink sink) {
  Sink = sink ? sink : &PrintMisbehaviour;
}

TClapLibrary::TClapLibrary(const std::string& path) : FLibrary(path) {
  FEntry = static_cast<const clap_plugin_entry_t*>(FLibrary.symbol("clap_entry"));
  if (!FEntry)
    throw HostError(path + ": no clap_entry");
  if (!clap_version_is_compatible(FEntry->clap_version))
    throw HostError(path + ": incompatible CLAP version");
  if (!FEntry->init(path.c_str()))
    throw HostError(path + ": init refused");
  FFactory = static_cast<const clap_plugin_factory_t*>(FEntry->get_factory(CLAP_PLUGIN_FACTORY_ID));
}

TClapLibrary::~TClapLibrary() {
  FEntry->deinit();
}

std::vector<const clap_plugin_descriptor_t*> TClapLibrary::Descriptors() const {
  std::vector<const clap_plugin_descriptor_t*> all;
  if (!FFactory)
    return all;
  const std::uint32_t count = FFactory->get_plugin_count(FFactory);
  for (std::uint32_t i = 0; i < count; ++i)
    all.push_back(FFactory->get_plugin_descriptor(FFactory, i));
  return all;
}

// ---- Events ----

TInputEvents::TInputEvents() {
  FList.ctx = this;
  FList.size = &Count;
  FList.get = &Get;
}

void TInputEvents::Insert(const TAnyEvent& event) {
  // After every event of the same time, so that a list built in order keeps it.
  const auto at =
      std::upper_bound(FEvents.begin(), FEvents.end(), event.Header.time,
                       [](std::uint32_t time, const TAnyEvent& e) { return time < e.Header.time; });
  FEvents.insert(at, event);
}

void TInputEvents::AddParamValue(std::uint32_t time, clap_id param, double value, void* cookie) {
  TAnyEvent e{};
  e.Value.header = {sizeof(clap_event_param_value_t), time, CLAP_CORE_EVENT_SPACE_ID,
                    CLAP_EVENT_PARAM_VALUE, 0};
  e.Value.param_id = param;
  e.Value.cookie = cookie;
  e.Value.note_id = -1;
  e.Value.port_index = -1;
  e.Value.channel = -1;
  e.Value.key = -1;
  e.Value.value = value;
  Insert(e);
}

void TInputEvents::AddParamMod(std::uint32_t time, clap_id param, double amount) {
  TAnyEvent e{};
  e.Mod.header = {sizeof(clap_event_param_mod_t), time, CLAP_CORE_EVENT_SPACE_ID,
                  CLAP_EVENT_PARAM_MOD, 0};
  e.Mod.param_id = param;
  e.Mod.note_id = -1;
  e.Mod.port_index = -1;
  e.Mod.channel = -1;
  e.Mod.key = -1;
  e.Mod.amount = amount;
  Insert(e);
}

void TInputEvents::AddGesture(std::uint32_t time, clap_id param, bool begin) {
  TAnyEvent e{};
  e.Gesture.header = {sizeof(clap_event_param_gesture_t), time, CLAP_CORE_EVENT_SPACE_ID,
                      static_cast<std::uint16_t>(begin ? CLAP_EVENT_PARAM_GESTURE_BEGIN
                                                       : CLAP_EVENT_PARAM_GESTURE_END),
                      0};
  e.Gesture.param_id = param;
  Insert(e);
}

void TInputEvents::AddRaw(const clap_event_header_t& event) {
  TAnyEvent e{};
  std::memcpy(&e, &event, std::min<std::size_t>(event.size, sizeof e));
  Insert(e);
}

std::uint32_t CLAP_ABI TInputEvents::Count(const clap_input_events_t* list) {
  return static_cast<std::uint32_t>(static_cast<const TInputEvents*>(list->ctx)->FEvents.size());
}

const clap_event_header_t* CLAP_ABI TInputEvents::Get(const clap_input_events_t* list,
                                                      std::uint32_t index) {
  const auto& events = static_cast<const TInputEvents*>(list->ctx)->FEvents;
  return index < events.size() ? &events[index].Header : nullptr;
}

TOutputEvents::TOutputEvents() {
  FList.ctx = this;
  FList.try_push = &TryPush;
}

bool CLAP_ABI TOutputEvents::TryPush(const clap_output_events_t* list,
                                     const clap_event_header_t* event) {
  auto& self = *static_cast<TOutputEvents*>(list->ctx);
  TOutputEvent recorded{event->type, event->time, event->flags, CLAP_INVALID_ID, 0.0};
  if (event->space_id == CLAP_CORE_EVENT_SPACE_ID) {
    if (event->type == CLAP_EVENT_PARAM_VALUE) {
      const auto* value = reinterpret_cast<const clap_event_param_value_t*>(event);
      recorded.Param = value->param_id;
      recorded.Value = value->value;
    } else if (event->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ||
               event->type == CLAP_EVENT_PARAM_GESTURE_END) {
      recorded.Param = reinterpret_cast<const clap_event_param_gesture_t*>(event)->param_id;
    }
  }
  self.Events.push_back(recorded);
  return true;
}

// ---- The host ----

TClapHost& TClapHost::Self(const clap_host_t* host) {
  return *static_cast<TClapHost*>(host->host_data);
}

void CLAP_ABI TClapHost::RequestRestart(const clap_host_t* host) {
  ++Self(host).RestartRequests;
}

void CLAP_ABI TClapHost::RequestProcess(const clap_host_t* host) {
  ++Self(host).ProcessRequests;
}

void CLAP_ABI TClapHost::RequestCallback(const clap_host_t* host) {
  ++Self(host).CallbackRequests;
}

void CLAP_ABI TClapHost::Log(const clap_host_t* host, clap_log_severity severity,
                             const char* message) {
  auto& self = Self(host);
  const std::string text = message ? message : "(null)";
  const TSpinGuard guard(self.FLogLock);
  if (IsAudioThread())
    self.FAudioThreadLogs.push_back(text);
  self.FLog.push_back({severity, text});
}

TClapHost::TAudioScope::TAudioScope() {
  ++tlsAudioCalls;
}

TClapHost::TAudioScope::~TAudioScope() {
  --tlsAudioCalls;
}

bool TClapHost::IsMainThread() const {
  return &tlsAudioCalls == FMainThread && tlsAudioCalls == 0;
}

bool TClapHost::IsAudioThread() {
  return tlsAudioCalls > 0;
}

std::vector<std::string> TClapHost::TakeMisbehaviours() {
  const TSpinGuard guard(FLogLock);
  std::vector<std::string> taken;
  std::erase_if(FLog, [&](const TLogLine& line) {
    if (line.Severity != CLAP_LOG_HOST_MISBEHAVING)
      return false;
    taken.push_back(line.Message);
    return true;
  });
  return taken;
}

const void* CLAP_ABI TClapHost::GetExtension(const clap_host_t* host, const char* id) {
  static const clap_host_params_t params{
      [](const clap_host_t* h, clap_param_rescan_flags) { ++Self(h).ParamRescans; },
      [](const clap_host_t*, clap_id, clap_param_clear_flags) {},
      [](const clap_host_t* h) { ++Self(h).FlushRequests; }};
  static const clap_host_latency_t latency{[](const clap_host_t* h) { ++Self(h).LatencyChanges; }};
  static const clap_host_state_t state{[](const clap_host_t* h) { ++Self(h).DirtyMarks; }};
  static const clap_host_thread_check_t threadCheck{
      [](const clap_host_t* h) { return Self(h).IsMainThread(); },
      [](const clap_host_t*) { return IsAudioThread(); }};
  static const clap_host_log_t log{&Log};
  static const clap_host_gui_t gui{
      [](const clap_host_t*) {},
      [](const clap_host_t* h, std::uint32_t width, std::uint32_t height) {
        ++Self(h).ResizeRequests;
        Self(h).LastResize = {width, height};
        return false;
      },
      [](const clap_host_t*) { return false; }, [](const clap_host_t*) { return false; },
      [](const clap_host_t*, bool) {}};
  static const clap_host_timer_support_t timers{
      [](const clap_host_t* h, std::uint32_t period, clap_id* timerId) {
        auto& self = Self(h);
        const clap_id next = self.Timers.empty() ? 1 : self.Timers.rbegin()->first + 1;
        self.Timers[next] = period;
        *timerId = next;
        return true;
      },
      [](const clap_host_t* h, clap_id timerId) { return Self(h).Timers.erase(timerId) == 1; }};
  static const clap_host_posix_fd_support_t descriptors{
      [](const clap_host_t* h, int fd, clap_posix_fd_flags_t flags) {
        return Self(h).Descriptors.emplace(fd, flags).second;
      },
      [](const clap_host_t* h, int fd, clap_posix_fd_flags_t flags) {
        const auto found = Self(h).Descriptors.find(fd);
        if (found == Self(h).Descriptors.end())
          return false;
        found->second = flags;
        return true;
      },
      [](const clap_host_t* h, int fd) { return Self(h).Descriptors.erase(fd) == 1; }};
  static const clap_host_tail_t tail{[](const clap_host_t*) {}};

  const TClapHost& self = Self(host);
  const std::string_view name(id ? id : "");
  if (name == CLAP_EXT_PARAMS)
    return &params;
  if (name == CLAP_EXT_LATENCY)
    return &latency;
  if (name == CLAP_EXT_STATE)
    return &state;
  if (name == CLAP_EXT_THREAD_CHECK && self.OfferThreadCheck)
    return &threadCheck;
  if (name == CLAP_EXT_LOG && self.OfferLog)
    return &log;
  if (name == CLAP_EXT_GUI)
    return &gui;
  if (name == CLAP_EXT_TAIL)
    return &tail;
  if (name == CLAP_EXT_TIMER_SUPPORT && self.OfferTimers)
    return &timers;
  if (name == CLAP_EXT_POSIX_FD_SUPPORT && self.OfferDescriptors)
    return &descriptors;
  return nullptr;
}

TClapHost::TClapHost(const TClapLibrary& library, const std::string& pluginId, bool initialise)
    : FMainThread(&tlsAudioCalls) {
  FHost.clap_version = CLAP_VERSION;
  FHost.host_data = this;
  FHost.name = "glowrasp clap test host";
  FHost.vendor = "Kestrune";
  FHost.url = "";
  FHost.version = "1.0";
  FHost.get_extension = &GetExtension;
  FHost.request_restart = &RequestRestart;
  FHost.request_process = &RequestProcess;
  FHost.request_callback = &RequestCallback;
  const clap_plugin_factory_t* factory = library.Factory();
  if (!factory)
    throw HostError("no plug-in factory");
  FPlugin = factory->create_plugin(factory, &FHost, pluginId.c_str());
  if (!FPlugin)
    throw HostError("the factory cannot make " + pluginId);
  if (initialise && !Init()) {
    FPlugin->destroy(FPlugin);
    throw HostError(pluginId + ": init failed");
  }
}

TClapHost::~TClapHost() {
  if (FPlugin) {
    Deactivate();
    FPlugin->destroy(FPlugin);
  }
  for (const std::string& line : FAudioThreadLogs)
    Sink("logged on the audio thread: " + line);
  for (const std::string& line : TakeMisbehaviours())
    Sink(line);
}

bool TClapHost::Init() {
  return FPlugin->init(FPlugin);
}

void TClapHost::DestroyAsItIs() {
  FPlugin->destroy(FPlugin);
  FPlugin = nullptr;
  FActive = false;
  FProcessing = false;
}

bool TClapHost::Activate(double sampleRate, std::uint32_t minFrames, std::uint32_t maxFrames) {
  FActive = FPlugin->activate(FPlugin, sampleRate, minFrames, maxFrames);
  return FActive;
}

void TClapHost::Deactivate() {
  StopProcessing();
  if (FActive)
    FPlugin->deactivate(FPlugin);
  FActive = false;
}

bool TClapHost::StartProcessing() {
  const TAudioScope scope;
  FProcessing = FPlugin->start_processing(FPlugin);
  return FProcessing;
}

void TClapHost::StopProcessing() {
  if (!FProcessing)
    return;
  const TAudioScope scope;
  FPlugin->stop_processing(FPlugin);
  FProcessing = false;
}

void TClapHost::Reset() {
  const TAudioScope scope;
  FPlugin->reset(FPlugin);
}

clap_process_status TClapHost::Process(const std::vector<TPortBuffers>& inputs,
                                       std::vector<TPortBuffers>& outputs, std::uint32_t frames,
                                       const TInputEvents* events, TOutputEvents* out) {
  std::vector<clap_audio_buffer_t> in(inputs.size()), outBuffers(outputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    in[i].data32 = const_cast<float**>(inputs[i].Channels.data());
    in[i].channel_count = static_cast<std::uint32_t>(inputs[i].Channels.size());
  }
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    outBuffers[i].data32 = outputs[i].Channels.data();
    outBuffers[i].channel_count = static_cast<std::uint32_t>(outputs[i].Channels.size());
  }
  return Process(in, outBuffers, frames, events, out);
}

clap_process_status TClapHost::Process(std::span<const clap_audio_buffer_t> inputs,
                                       std::span<clap_audio_buffer_t> outputs, std::uint32_t frames,
                                       const TInputEvents* events, TOutputEvents* out) {
  TInputEvents none;
  TOutputEvents discard;
  clap_process_t process{};
  process.steady_time = FSteadyTime;
  process.frames_count = frames;
  process.audio_inputs = inputs.empty() ? nullptr : inputs.data();
  process.audio_outputs = outputs.empty() ? nullptr : outputs.data();
  process.audio_inputs_count = static_cast<std::uint32_t>(inputs.size());
  process.audio_outputs_count = static_cast<std::uint32_t>(outputs.size());
  process.in_events = (events ? events : &none)->List();
  process.out_events = (out ? out : &discard)->List();
  clap_process_status status = CLAP_PROCESS_ERROR;
  OnAudioThread([&] { status = FPlugin->process(FPlugin, &process); });
  FSteadyTime += frames;
  return status;
}

clap_process_status TClapHost::ProcessStereo(float* inL, float* inR, float* outL, float* outR,
                                             std::uint32_t frames, const TInputEvents* events,
                                             TOutputEvents* out) {
  // Without a heap allocation, as a host's audio thread calls it.
  float* inChannels[2] = {inL, inR};
  float* outChannels[2] = {outL, outR};
  const clap_audio_buffer_t in{inChannels, nullptr, 2, 0, 0};
  clap_audio_buffer_t outBuffer{outChannels, nullptr, 2, 0, 0};
  return Process(std::span(&in, 1), std::span(&outBuffer, 1), frames, events, out);
}

std::optional<double> TClapHost::Value(clap_id param) const {
  const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  double value = 0;
  if (!params || !params->get_value(FPlugin, param, &value))
    return std::nullopt;
  return value;
}

std::optional<std::string> TClapHost::ValueText(clap_id param, double value) const {
  const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  char text[CLAP_NAME_SIZE] = {};
  if (!params || !params->value_to_text(FPlugin, param, value, text, sizeof text))
    return std::nullopt;
  return std::string(text);
}

std::optional<double> TClapHost::TextValue(clap_id param, const std::string& text) const {
  const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  double value = 0;
  if (!params || !params->text_to_value(FPlugin, param, text.c_str(), &value))
    return std::nullopt;
  return value;
}

void TClapHost::Flush(const TInputEvents* events, TOutputEvents* out) {
  const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  TInputEvents none;
  TOutputEvents discard;
  const auto flush = [&] {
    params->flush(FPlugin, (events ? events : &none)->List(), (out ? out : &discard)->List());
  };
  // Flush runs on the audio thread while the plug-in is active.
  if (FActive)
    OnAudioThread(flush);
  else
    flush();
}

namespace {

struct TStreamContext {
  std::vector<std::uint8_t>* Bytes;
  std::uint64_t Chunk;
  std::size_t Position = 0;
};

} // namespace

std::optional<std::vector<std::uint8_t>> TClapHost::SaveState(std::uint64_t chunk) {
  const auto* state = Extension<clap_plugin_state_t>(CLAP_EXT_STATE);
  std::vector<std::uint8_t> bytes;
  TStreamContext context{&bytes, chunk};
  clap_ostream_t stream{
      &context,
      [](const clap_ostream_t* s, const void* buffer, std::uint64_t size) -> std::int64_t {
        auto& c = *static_cast<TStreamContext*>(s->ctx);
        const std::uint64_t n = std::min(size, c.Chunk);
        const auto* from = static_cast<const std::uint8_t*>(buffer);
        c.Bytes->insert(c.Bytes->end(), from, from + n);
        return static_cast<std::int64_t>(n);
      }};
  if (!state || !state->save(FPlugin, &stream))
    return std::nullopt;
  return bytes;
}

bool TClapHost::LoadState(const std::vector<std::uint8_t>& bytes, std::uint64_t chunk) {
  const auto* state = Extension<clap_plugin_state_t>(CLAP_EXT_STATE);
  std::vector<std::uint8_t> copy = bytes;
  TStreamContext context{&copy, chunk};
  clap_istream_t stream{
      &context, [](const clap_istream_t* s, void* buffer, std::uint64_t size) -> std::int64_t {
        auto& c = *static_cast<TStreamContext*>(s->ctx);
        const std::uint64_t n =
            std::min({size, c.Chunk, std::uint64_t{c.Bytes->size() - c.Position}});
        if (n > 0)
          std::memcpy(buffer, c.Bytes->data() + c.Position, n);
        c.Position += n;
        return static_cast<std::int64_t>(n);
      }};
  return state && state->load(FPlugin, &stream);
}

void TClapHost::RunEventLoopOnce() {
  if (CallbackRequests.exchange(0) > 0)
    FPlugin->on_main_thread(FPlugin);
  if (const auto* timer = Extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT)) {
    // A copy: a timer callback may register or unregister timers.
    const auto timers = Timers;
    for (const auto& [id, period] : timers)
      timer->on_timer(FPlugin, id);
  }
#ifndef _WIN32
  if (const auto* fds = Extension<clap_plugin_posix_fd_support_t>(CLAP_EXT_POSIX_FD_SUPPORT)) {
    const auto descriptors = Descriptors;
    for (const auto& [fd, flags] : descriptors) {
      pollfd p{fd, static_cast<short>((flags & CLAP_POSIX_FD_READ) ? POLLIN : 0), 0};
      if (poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLERR | POLLHUP)))
        fds->on_fd(FPlugin, fd,
                   ((p.revents & POLLIN) ? CLAP_POSIX_FD_READ : 0) |
                       ((p.revents & (POLLERR | POLLHUP)) ? CLAP_POSIX_FD_ERROR : 0));
    }
  }
#endif
}

} // namespace glowrasp::clap_test
