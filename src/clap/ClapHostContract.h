// What CLAP lets a host call, on which thread and in which state, checked at
// the door of every call. A call the format forbids is refused (false, an
// error status or nothing done, as the call allows) and reported to the
// host's log as host misbehaviour, once per kind for the instance's life.
//
// The threads are the host's to name: its thread-check extension answers,
// when it offers one; without it only the states are checked. The states are
// initialised (after a successful init), active (activate to deactivate) and
// processing (start_processing to stop_processing); active is written on the
// main thread and read on the audio thread, processing the other way round,
// so each is one atomic word.
//
// The log is written on the main thread only, but for the last words of a
// destroy called elsewhere: a breach found on any other thread goes into an
// atomic set of kinds, the host is asked for a main-thread callback, and the
// next main-thread call writes it. On the audio thread a check costs a call
// to the host's thread check and a few atomic operations: nothing allocated,
// locked or asked of the system.
#pragma once

#include "clap/ClapLog.h"

#include <clap/ext/thread-check.h>
#include <clap/host.h>

#include <atomic>
#include <cstdint>

// Every kind of host misbehaviour the contract reports, one message each.
enum class TClapBreach : std::uint8_t {
  InitOffMain,
  InitTwice,
  CallBeforeInit,
  DestroyOffMain,
  DestroyWhileActive,
  ActivateOffMain,
  ActivateWhileActive,
  DeactivateOffMain,
  DeactivateWhileInactive,
  DeactivateWhileProcessing,
  StartProcessingOffAudio,
  StartProcessingWhileInactive,
  StartProcessingTwice,
  StopProcessingOffAudio,
  StopProcessingWhileInactive,
  StopProcessingWhileStopped,
  ResetOffAudio,
  ResetWhileInactive,
  ProcessOffAudio,
  ProcessWhileInactive,
  ProcessWhileStopped,
  OnMainThreadOffMain,
  AudioPortsOffMain,
  ParamsOffMain,
  FlushOffAudioWhileActive,
  FlushOffMainWhileInactive,
  LatencyOffMain,
  StateOffMain,
  GuiOffMain,
  TimerOffMain,
  DescriptorOffMain,
  Count
};

// The fixed text the host's log receives for `breach`.
const char* ClapBreachMessage(TClapBreach breach);

class TClapHostContract {
public:
  // No call to the host here: CLAP forbids it before init.
  explicit TClapHostContract(const clap_host_t& host) : FHost(host) {}
  TClapHostContract(const TClapHostContract&) = delete;
  TClapHostContract& operator=(const TClapHostContract&) = delete;

  // Each of these answers whether the call may go ahead, and reports the
  // breach when it may not.

  // Asks the host for its thread check and log on the first call.
  bool Init();
  // `activate` does the plug-in's part and answers whether it succeeded.
  template <class TActivate>
  bool Activate(TActivate&& activate);
  bool Deactivate();
  bool StartProcessing();
  bool StopProcessing();
  bool Reset();
  bool Process();
  // A host's flush goes on the audio thread while the plug-in is active and
  // on the main thread while it is not.
  bool ParamsFlush();
  // Every other main-thread call, with the breach a call off it makes.
  bool MainThreadCall(TClapBreach offMain);

  // The instance is going: the last chance to report, on whatever thread
  // the host chose. Nothing is refused: a refused destroy would leak.
  void Destroy();

private:
  bool OnMainThread() const;
  bool OnAudioThread() const;
  // Reports `breach` unless it was before: into the log now when `logNow`,
  // else kept for the next main-thread call.
  void Report(TClapBreach breach, bool logNow);
  // Main thread: what other threads found.
  void ReportPending();
  void Log(TClapBreach breach) const;

  const clap_host_t& FHost;
  // Both set by the first init, before any other thread meets the instance.
  const clap_host_thread_check_t* FThreadCheck = nullptr;
  const clap_host_log_t* FLog = nullptr;
  std::atomic<bool> FInitialised{false};
  std::atomic<bool> FActive{false};
  std::atomic<bool> FProcessing{false};
  // One bit per TClapBreach: every kind ever reported, and those that wait
  // for the main thread.
  std::atomic<std::uint64_t> FReported{0};
  std::atomic<std::uint64_t> FPending{0};
};

template <class TActivate>
bool TClapHostContract::Activate(TActivate&& activate) {
  if (!MainThreadCall(TClapBreach::ActivateOffMain))
    return false;
  if (FActive.load()) {
    Report(TClapBreach::ActivateWhileActive, true);
    return false;
  }
  if (!activate())
    return false;
  FActive.store(true);
  return true;
}
