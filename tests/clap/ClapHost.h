// A small CLAP host for the tests: loads any .clap binary through its exported
// clap_entry, creates plug-ins from its factory and drives them on the
// calling thread as a host's main and audio thread would, with the host
// extensions a plug-in may ask for (params, latency, state, gui, thread check,
// log, timers, file descriptors). It knows nothing of our plug-in's internals.
//
// Its thread check answers truly: the main thread is the one that made the
// host, outside its audio calls; an audio thread is any thread inside one of
// them (process, start and stop processing, reset, an active flush, or
// OnAudioThread).
#pragma once

#include "clap/ClapLog.h"
#include "clap/ClapPosixFdSupport.h"
#include "clap/ClapTail.h"
#include "hostlib/SharedLibrary.h"

#include <clap/entry.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>
#include <clap/plugin-factory.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace glowrasp::clap_test {

// A .clap binary, initialised with its path for as long as the object lives.
class TClapLibrary {
public:
  // Throws glowrasp::host::HostError when the binary cannot be loaded, has no
  // clap_entry, speaks an incompatible version or refuses init.
  explicit TClapLibrary(const std::string& path);
  ~TClapLibrary();
  TClapLibrary(const TClapLibrary&) = delete;
  TClapLibrary& operator=(const TClapLibrary&) = delete;

  const clap_plugin_entry_t& Entry() const { return *FEntry; }
  // Null when the binary offers no plug-in factory.
  const clap_plugin_factory_t* Factory() const { return FFactory; }
  std::vector<const clap_plugin_descriptor_t*> Descriptors() const;

private:
  glowrasp::host::SharedLibrary FLibrary;
  const clap_plugin_entry_t* FEntry = nullptr;
  const clap_plugin_factory_t* FFactory = nullptr;
};

// Events for one process or flush call, kept in time order as hosts must send them.
class TInputEvents {
public:
  TInputEvents();
  TInputEvents(const TInputEvents&) = delete;
  TInputEvents& operator=(const TInputEvents&) = delete;

  void AddParamValue(std::uint32_t time, clap_id param, double value, void* cookie = nullptr);
  // A global modulation amount, in the parameter's plain unit.
  void AddParamMod(std::uint32_t time, clap_id param, double amount);
  void AddGesture(std::uint32_t time, clap_id param, bool begin);
  // Any other event, copied as it is: for kinds a plug-in must skip.
  void AddRaw(const clap_event_header_t& event);
  void Clear() { FEvents.clear(); }
  std::size_t Size() const { return FEvents.size(); }
  const clap_input_events_t* List() const { return &FList; }

private:
  union TAnyEvent {
    clap_event_header_t Header;
    clap_event_param_value_t Value;
    clap_event_param_mod_t Mod;
    clap_event_param_gesture_t Gesture;
    clap_event_transport_t Transport;
  };
  void Insert(const TAnyEvent& event);
  static std::uint32_t CLAP_ABI Count(const clap_input_events_t* list);
  static const clap_event_header_t* CLAP_ABI Get(const clap_input_events_t* list,
                                                 std::uint32_t index);

  std::vector<TAnyEvent> FEvents;
  clap_input_events_t FList{};
};

// What a plug-in pushed to the host during process or flush, in order.
struct TOutputEvent {
  std::uint16_t Type;
  std::uint32_t Time;
  std::uint32_t Flags;
  clap_id Param;
  double Value; // parameter value events only
  bool operator==(const TOutputEvent&) const = default;
};

class TOutputEvents {
public:
  TOutputEvents();
  TOutputEvents(const TOutputEvents&) = delete;
  TOutputEvents& operator=(const TOutputEvents&) = delete;

  const clap_output_events_t* List() const { return &FList; }
  std::vector<TOutputEvent> Events;

private:
  static bool CLAP_ABI TryPush(const clap_output_events_t* list, const clap_event_header_t* event);
  clap_output_events_t FList{};
};

// Where a host sends, when it goes, the host misbehaviour its plug-in
// reported and nobody took (TakeMisbehaviours), and any log line written on
// its audio thread: to stderr unless a program sets another sink. The test
// programs make each a test failure.
using TMisbehaviourSink = void (*)(const std::string& report);
void SetMisbehaviourSink(TMisbehaviourSink sink);

// One audio port's channels for a process call.
struct TPortBuffers {
  std::vector<float*> Channels;
};

// One plug-in instance with the host around it. Construction creates and
// (unless told not to) initialises it; destruction stops, deactivates and
// destroys it, then hands what the plug-in reported to the sink.
class TClapHost {
public:
  // Throws HostError when the factory cannot make `pluginId` or, when
  // `initialise`, init fails.
  TClapHost(const TClapLibrary& library, const std::string& pluginId, bool initialise = true);
  ~TClapHost();
  TClapHost(const TClapHost&) = delete;
  TClapHost& operator=(const TClapHost&) = delete;

  const clap_plugin_t* Plugin() const { return FPlugin; }
  template <class T>
  const T* Extension(const char* id) const {
    return static_cast<const T*>(FPlugin->get_extension(FPlugin, id));
  }

  bool Init();
  bool Activate(double sampleRate, std::uint32_t minFrames, std::uint32_t maxFrames);
  void Deactivate();
  bool StartProcessing();
  void StopProcessing();
  void Reset();
  bool Active() const { return FActive; }
  // Destroys the plug-in as it stands, active or not, as a careless host does.
  void DestroyAsItIs();

  // Runs `call` as this host's audio thread would.
  template <class TCall>
  void OnAudioThread(TCall&& call) {
    const TAudioScope scope;
    call();
  }

  // Output channels may be the input ones (in place). `events` may be null
  // (no events); output events are recorded into `out` when given.
  clap_process_status Process(const std::vector<TPortBuffers>& inputs,
                              std::vector<TPortBuffers>& outputs, std::uint32_t frames,
                              const TInputEvents* events = nullptr, TOutputEvents* out = nullptr);
  clap_process_status Process(std::span<const clap_audio_buffer_t> inputs,
                              std::span<clap_audio_buffer_t> outputs, std::uint32_t frames,
                              const TInputEvents* events = nullptr, TOutputEvents* out = nullptr);
  // Stereo in, stereo out, one port each.
  clap_process_status ProcessStereo(float* inL, float* inR, float* outL, float* outR,
                                    std::uint32_t frames, const TInputEvents* events = nullptr,
                                    TOutputEvents* out = nullptr);

  // The params extension's calls, on the main thread.
  std::optional<double> Value(clap_id param) const;
  std::optional<std::string> ValueText(clap_id param, double value) const;
  std::optional<double> TextValue(clap_id param, const std::string& text) const;
  void Flush(const TInputEvents* events, TOutputEvents* out);

  // State as a host saves it; `chunk` limits how much each stream call may
  // move, as hosts that stream in pieces do.
  std::optional<std::vector<std::uint8_t>> SaveState(std::uint64_t chunk = 1u << 20);
  bool LoadState(const std::vector<std::uint8_t>& bytes, std::uint64_t chunk = 1u << 20);

  // The host misbehaviour the plug-in reported in the log since the last
  // call, in order; taken, they are no longer the sink's.
  std::vector<std::string> TakeMisbehaviours();

  // What the plug-in asked of the host.
  int RestartRequests = 0;
  int ProcessRequests = 0;
  std::atomic<int> CallbackRequests = 0;
  int FlushRequests = 0;
  int ParamRescans = 0;
  int LatencyChanges = 0;
  int DirtyMarks = 0;
  int ResizeRequests = 0;
  std::pair<std::uint32_t, std::uint32_t> LastResize{};
  std::map<clap_id, std::uint32_t> Timers;          // id -> period in ms
  std::map<int, clap_posix_fd_flags_t> Descriptors; // fd -> flags
  bool OfferTimers = true;
  bool OfferDescriptors = true;
  // Plug-ins ask for these in init: set them before it.
  bool OfferThreadCheck = true;
  bool OfferLog = true;

  // The host's event loop, once: due callbacks, every timer, and every
  // registered descriptor that is ready to read (Linux).
  void RunEventLoopOnce();

private:
  // Marks the calling thread as an audio thread for the scope's life.
  struct TAudioScope {
    TAudioScope();
    ~TAudioScope();
    TAudioScope(const TAudioScope&) = delete;
    TAudioScope& operator=(const TAudioScope&) = delete;
  };
  struct TLogLine {
    clap_log_severity Severity;
    std::string Message;
  };

  static const void* CLAP_ABI GetExtension(const clap_host_t* host, const char* id);
  static void CLAP_ABI RequestRestart(const clap_host_t* host);
  static void CLAP_ABI RequestProcess(const clap_host_t* host);
  static void CLAP_ABI RequestCallback(const clap_host_t* host);
  static void CLAP_ABI Log(const clap_host_t* host, clap_log_severity severity,
                           const char* message);
  static TClapHost& Self(const clap_host_t* host);
  bool IsMainThread() const;
  static bool IsAudioThread();

  clap_host_t FHost{};
  const clap_plugin_t* FPlugin = nullptr;
  // The address of a thread_local on the thread that made the host: unlike a
  // thread id, it needs no thread library (MinGW's win32 model has none).
  const void* FMainThread = nullptr;
  bool FActive = false;
  bool FProcessing = false;
  std::int64_t FSteadyTime = 0;
  // The log is thread-safe in CLAP; a spin lock keeps it so without a
  // thread library.
  std::atomic_flag FLogLock;
  std::vector<TLogLine> FLog;
  std::vector<std::string> FAudioThreadLogs;
};

} // namespace glowrasp::clap_test
