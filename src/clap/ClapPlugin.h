// One CLAP plug-in instance over the format-neutral effect instance.
//
// Threads, as CLAP names them:
//  - main thread: init, destroy, activate, deactivate, on_main_thread and
//    every extension call not named below; the editor lives here.
//  - audio thread: start_processing, stop_processing, reset, process, and
//    the params extension's flush while the plug-in is active. These
//    allocate nothing, take no lock and make no system call.
//  - any thread: get_extension and the tail's get.
// The host contract checks each call's thread and state before it reaches
// the instance. The threads meet only in atomics: the contract's states, the
// instance's parameter values and modulation amounts, the editor's outgoing
// edits and the editor's set of values to repaint.
#pragma once

#include "clap/ClapEditor.h"
#include "clap/ClapHostContract.h"
#include "clap/ClapOutgoingEdits.h"
#include "instance/EffectInstance.h"

#include <clap/ext/audio-ports.h>
#include <clap/ext/params.h>
#include <clap/plugin.h>
#include <clap/stream.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

class TClapPlugin {
public:
  // No call to the host here: CLAP forbids it before init.
  explicit TClapPlugin(const clap_host_t& host);
  TClapPlugin(const TClapPlugin&) = delete;
  TClapPlugin& operator=(const TClapPlugin&) = delete;

  const clap_plugin_t* Plugin() const { return &FPlugin; }
  // The instance behind a plug-in pointer a host hands back, or null.
  static TClapPlugin* From(const clap_plugin_t* plugin);

  bool Init() { return FContract.Init(); }
  bool Activate(double sampleRate);
  // A host's modulation lasts while it plays: both of these drop it, so an
  // open editor stops showing it too.
  void Deactivate();
  bool StartProcessing() { return FContract.StartProcessing(); }
  void StopProcessing() { FContract.StopProcessing(); }
  void Reset();
  clap_process_status Process(const clap_process_t& process);
  // What the host may call when; the extension calls ask it first.
  TClapHostContract& Contract() { return FContract; }

  // audio-ports
  static std::uint32_t PortCount(bool /*isInput*/) { return 1; }
  static bool PortInfo(std::uint32_t index, bool isInput, clap_audio_port_info_t& info);

  // params
  static bool ParamInfo(std::uint32_t index, clap_param_info_t& info);
  std::optional<double> ParamValue(clap_id id) const;
  bool ParamValueText(clap_id id, double value, char* text, std::uint32_t size) const;
  std::optional<double> ParamTextValue(clap_id id, const char* text) const;
  void Flush(const clap_input_events_t* in, const clap_output_events_t* out);

  std::uint32_t Latency() const;
  std::uint32_t Tail() const;

  bool SaveState(const clap_ostream_t& stream) const;
  bool LoadState(const clap_istream_t& stream);

  TClapEditor& Editor() { return FEditor; }

private:
  void ApplyEvents(const clap_input_events_t* in);
  void ApplyEvent(const clap_event_header_t& event);
  // The parameter change an event carries, at its frame; nothing for any
  // other event.
  std::optional<TParameterChange> ChangeOf(const clap_event_header_t& event) const;
  std::optional<TParameterChange> ValueChangeOf(const clap_event_param_value_t& change) const;
  static std::optional<TParameterChange> ModulationOf(const clap_event_param_mod_t& modulation);
  void SendEdits(const clap_output_events_t* out);
  // input: the host's first input port, or null when it has none usable.
  // The changes' frames count from `from`.
  void ProcessSpan(const clap_process_t& process, const clap_audio_buffer_t* input,
                   std::uint32_t from, std::uint32_t to, std::span<const TParameterChange> changes);

  const clap_host_t& FHost;
  TClapHostContract FContract{FHost};
  clap_plugin_t FPlugin{};
  // The shaper sounds the same at every rate: one instance serves every activation.
  TEffectInstance FInstance{44100.0};
  TClapOutgoingEdits FEdits;
  TClapEditor FEditor{FHost, FInstance, FEdits};
  // The changes handed to the instance in one call; more in one block go in
  // several. Audio thread only.
  std::array<TParameterChange, 256> FChanges{};
};
