#include "clap/ClapPluginCalls.h"

#include "clap/ClapPlugin.h"
#include "clap/ClapPosixFdSupport.h"
#include "clap/ClapTail.h"

#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/timer-support.h>

#include <cstring>

namespace {

// Runs `call` on the plug-in behind `plugin`, or answers `neutral` when there
// is none or the call throws: nothing may unwind into the host.
template <class TResult, class TCall>
TResult Guarded(const clap_plugin_t* plugin, TResult neutral, TCall&& call) {
  TClapPlugin* self = TClapPlugin::From(plugin);
  if (!self)
    return neutral;
  try {
    return call(*self);
  } catch (...) {
    return neutral;
  }
}

// A main-thread call of an extension: refused with `neutral` where the host
// contract forbids it (off the main thread, before init), with `offMain`
// the breach a call off the main thread makes.
template <class TResult, class TCall>
TResult OnMain(const clap_plugin_t* plugin, TClapBreach offMain, TResult neutral, TCall&& call) {
  return Guarded(plugin, neutral, [&](TClapPlugin& self) {
    return self.Contract().MainThreadCall(offMain) ? call(self) : neutral;
  });
}

template <class TCall>
void OnMain(const clap_plugin_t* plugin, TClapBreach offMain, TCall&& call) {
  OnMain(plugin, offMain, 0, [&](TClapPlugin& self) {
    call(self);
    return 0;
  });
}

// ---- audio-ports ----

std::uint32_t CLAP_ABI PortCount(const clap_plugin_t* plugin, bool isInput) {
  return OnMain(plugin, TClapBreach::AudioPortsOffMain, std::uint32_t{0},
                [&](TClapPlugin&) { return TClapPlugin::PortCount(isInput); });
}

bool CLAP_ABI PortGet(const clap_plugin_t* plugin, std::uint32_t index, bool isInput,
                      clap_audio_port_info_t* info) {
  return OnMain(plugin, TClapBreach::AudioPortsOffMain, false,
                [&](TClapPlugin&) { return info && TClapPlugin::PortInfo(index, isInput, *info); });
}

const clap_plugin_audio_ports_t kAudioPorts{&PortCount, &PortGet};

// ---- params ----

std::uint32_t CLAP_ABI ParamCount(const clap_plugin_t* plugin) {
  return OnMain(plugin, TClapBreach::ParamsOffMain, std::uint32_t{0}, [](TClapPlugin&) {
    return static_cast<std::uint32_t>(TEffectInstance::kParameterCount);
  });
}

bool CLAP_ABI ParamGetInfo(const clap_plugin_t* plugin, std::uint32_t index,
                           clap_param_info_t* info) {
  return OnMain(plugin, TClapBreach::ParamsOffMain, false,
                [&](TClapPlugin&) { return info && TClapPlugin::ParamInfo(index, *info); });
}

// Writes what was found through the host's pointer.
bool Answer(const std::optional<double>& found, double* value) {
  if (!found || !value)
    return false;
  *value = *found;
  return true;
}

bool CLAP_ABI ParamGetValue(const clap_plugin_t* plugin, clap_id id, double* value) {
  return OnMain(plugin, TClapBreach::ParamsOffMain, false,
                [&](TClapPlugin& self) { return Answer(self.ParamValue(id), value); });
}

bool CLAP_ABI ParamValueToText(const clap_plugin_t* plugin, clap_id id, double value, char* text,
                               std::uint32_t size) {
  return OnMain(plugin, TClapBreach::ParamsOffMain, false,
                [&](TClapPlugin& self) { return self.ParamValueText(id, value, text, size); });
}

bool CLAP_ABI ParamTextToValue(const clap_plugin_t* plugin, clap_id id, const char* text,
                               double* value) {
  return OnMain(plugin, TClapBreach::ParamsOffMain, false,
                [&](TClapPlugin& self) { return Answer(self.ParamTextValue(id, text), value); });
}

void CLAP_ABI ParamFlush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                         const clap_output_events_t* out) {
  if (TClapPlugin* self = TClapPlugin::From(plugin))
    self->Flush(in, out);
}

const clap_plugin_params_t kParams{&ParamCount,       &ParamGetInfo,     &ParamGetValue,
                                   &ParamValueToText, &ParamTextToValue, &ParamFlush};

// ---- latency, tail ----

std::uint32_t CLAP_ABI LatencyGet(const clap_plugin_t* plugin) {
  return OnMain(plugin, TClapBreach::LatencyOffMain, std::uint32_t{0},
                [](TClapPlugin& self) { return self.Latency(); });
}

const clap_plugin_latency_t kLatency{&LatencyGet};

std::uint32_t CLAP_ABI TailGet(const clap_plugin_t* plugin) {
  const TClapPlugin* self = TClapPlugin::From(plugin);
  return self ? self->Tail() : 0;
}

const clap_plugin_tail_t kTail{&TailGet};

// ---- state ----

bool CLAP_ABI StateSave(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
  return OnMain(plugin, TClapBreach::StateOffMain, false,
                [&](TClapPlugin& self) { return stream && self.SaveState(*stream); });
}

bool CLAP_ABI StateLoad(const clap_plugin_t* plugin, const clap_istream_t* stream) {
  return OnMain(plugin, TClapBreach::StateOffMain, false,
                [&](TClapPlugin& self) { return stream && self.LoadState(*stream); });
}

const clap_plugin_state_t kState{&StateSave, &StateLoad};

// ---- gui ----

constexpr TClapBreach kGuiOffMain = TClapBreach::GuiOffMain;

bool CLAP_ABI GuiIsApiSupported(const clap_plugin_t* plugin, const char* api, bool floating) {
  return OnMain(plugin, kGuiOffMain, false,
                [&](TClapPlugin&) { return TClapEditor::IsApiSupported(api, floating); });
}

bool CLAP_ABI GuiGetPreferredApi(const clap_plugin_t* plugin, const char** api, bool* floating) {
  return OnMain(plugin, kGuiOffMain, false, [&](TClapPlugin&) {
    if (!api || !floating)
      return false;
    *api = TClapEditor::Api();
    *floating = false;
    return true;
  });
}

bool CLAP_ABI GuiCreate(const clap_plugin_t* plugin, const char* api, bool floating) {
  return OnMain(plugin, kGuiOffMain, false,
                [&](TClapPlugin& self) { return self.Editor().Create(api, floating); });
}

void CLAP_ABI GuiDestroy(const clap_plugin_t* plugin) {
  OnMain(plugin, kGuiOffMain, [](TClapPlugin& self) { self.Editor().Destroy(); });
}

bool CLAP_ABI GuiSetScale(const clap_plugin_t* plugin, double scale) {
  return OnMain(plugin, kGuiOffMain, false,
                [&](TClapPlugin& self) { return self.Editor().SetScale(scale); });
}

bool CLAP_ABI GuiGetSize(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height) {
  return OnMain(plugin, kGuiOffMain, false, [&](TClapPlugin& self) {
    return width && height && self.Editor().GetSize(*width, *height);
  });
}

bool CLAP_ABI GuiCanResize(const clap_plugin_t* plugin) {
  return OnMain(plugin, kGuiOffMain, false, [](TClapPlugin&) { return false; });
}

bool CLAP_ABI GuiGetResizeHints(const clap_plugin_t* plugin, clap_gui_resize_hints_t*) {
  return OnMain(plugin, kGuiOffMain, false, [](TClapPlugin&) { return false; });
}

// A fixed size cannot be adjusted to another.
bool CLAP_ABI GuiAdjustSize(const clap_plugin_t* plugin, std::uint32_t*, std::uint32_t*) {
  return OnMain(plugin, kGuiOffMain, false, [](TClapPlugin&) { return false; });
}

bool CLAP_ABI GuiSetSize(const clap_plugin_t* plugin, std::uint32_t width, std::uint32_t height) {
  return OnMain(plugin, kGuiOffMain, false,
                [&](TClapPlugin& self) { return self.Editor().SetSize(width, height); });
}

bool CLAP_ABI GuiSetParent(const clap_plugin_t* plugin, const clap_window_t* window) {
  return OnMain(plugin, kGuiOffMain, false,
                [&](TClapPlugin& self) { return window && self.Editor().SetParent(*window); });
}

// Embedded only: there is no floating window to keep above another.
bool CLAP_ABI GuiSetTransient(const clap_plugin_t* plugin, const clap_window_t*) {
  return OnMain(plugin, kGuiOffMain, false, [](TClapPlugin&) { return false; });
}

void CLAP_ABI GuiSuggestTitle(const clap_plugin_t* plugin, const char*) {
  OnMain(plugin, kGuiOffMain, [](TClapPlugin&) {});
}

bool CLAP_ABI GuiShow(const clap_plugin_t* plugin) {
  return OnMain(plugin, kGuiOffMain, false, [](TClapPlugin& self) { return self.Editor().Show(); });
}

bool CLAP_ABI GuiHide(const clap_plugin_t* plugin) {
  return OnMain(plugin, kGuiOffMain, false, [](TClapPlugin& self) { return self.Editor().Hide(); });
}

const clap_plugin_gui_t kGui{
    &GuiIsApiSupported, &GuiGetPreferredApi, &GuiCreate,         &GuiDestroy,    &GuiSetScale,
    &GuiGetSize,        &GuiCanResize,       &GuiGetResizeHints, &GuiAdjustSize, &GuiSetSize,
    &GuiSetParent,      &GuiSetTransient,    &GuiSuggestTitle,   &GuiShow,       &GuiHide};

// ---- timer-support, posix-fd-support ----

void CLAP_ABI OnTimer(const clap_plugin_t* plugin, clap_id timer) {
  OnMain(plugin, TClapBreach::TimerOffMain,
         [&](TClapPlugin& self) { self.Editor().OnTimer(timer); });
}

const clap_plugin_timer_support_t kTimerSupport{&OnTimer};

void CLAP_ABI OnDescriptor(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t) {
  OnMain(plugin, TClapBreach::DescriptorOffMain,
         [&](TClapPlugin& self) { self.Editor().OnDescriptor(fd); });
}

const clap_plugin_posix_fd_support_t kPosixFdSupport{&OnDescriptor};

// ---- the plug-in ----

bool CLAP_ABI Init(const clap_plugin_t* plugin) {
  return Guarded(plugin, false, [](TClapPlugin& self) { return self.Init(); });
}

void CLAP_ABI Destroy(const clap_plugin_t* plugin) {
  TClapPlugin* self = TClapPlugin::From(plugin);
  if (!self)
    return;
  self->Contract().Destroy();
  delete self;
}

bool CLAP_ABI Activate(const clap_plugin_t* plugin, double sampleRate, std::uint32_t,
                       std::uint32_t) {
  return Guarded(plugin, false, [&](TClapPlugin& self) { return self.Activate(sampleRate); });
}

void CLAP_ABI Deactivate(const clap_plugin_t* plugin) {
  if (TClapPlugin* self = TClapPlugin::From(plugin))
    self->Deactivate();
}

bool CLAP_ABI StartProcessing(const clap_plugin_t* plugin) {
  TClapPlugin* self = TClapPlugin::From(plugin);
  return self && self->StartProcessing();
}

void CLAP_ABI StopProcessing(const clap_plugin_t* plugin) {
  if (TClapPlugin* self = TClapPlugin::From(plugin))
    self->StopProcessing();
}

void CLAP_ABI Reset(const clap_plugin_t* plugin) {
  if (TClapPlugin* self = TClapPlugin::From(plugin))
    self->Reset();
}

clap_process_status CLAP_ABI Process(const clap_plugin_t* plugin, const clap_process_t* process) {
  TClapPlugin* self = TClapPlugin::From(plugin);
  if (!self || !process)
    return CLAP_PROCESS_ERROR;
  return self->Process(*process);
}

const void* CLAP_ABI GetExtension(const clap_plugin_t* plugin, const char* id) {
  if (!TClapPlugin::From(plugin) || !id)
    return nullptr;
  const struct {
    const char* Id;
    const void* Table;
  } extensions[] = {
      {CLAP_EXT_AUDIO_PORTS, &kAudioPorts},
      {CLAP_EXT_PARAMS, &kParams},
      {CLAP_EXT_LATENCY, &kLatency},
      {CLAP_EXT_TAIL, &kTail},
      {CLAP_EXT_STATE, &kState},
      {CLAP_EXT_GUI, &kGui},
      {CLAP_EXT_TIMER_SUPPORT, &kTimerSupport},
#ifndef _WIN32
      {CLAP_EXT_POSIX_FD_SUPPORT, &kPosixFdSupport},
#endif
  };
  for (const auto& extension : extensions)
    if (std::strcmp(id, extension.Id) == 0)
      return extension.Table;
  return nullptr;
}

// The host's answer to the contract's request: MainThreadCall writes what
// other threads found.
void CLAP_ABI OnMainThread(const clap_plugin_t* plugin) {
  OnMain(plugin, TClapBreach::OnMainThreadOffMain, [](TClapPlugin&) {});
}

} // namespace

clap_plugin_t ClapPluginCalls(const clap_plugin_descriptor_t& descriptor, TClapPlugin* plugin) {
  return {&descriptor,      plugin,          &Init,  &Destroy, &Activate,     &Deactivate,
          &StartProcessing, &StopProcessing, &Reset, &Process, &GetExtension, &OnMainThread};
}
