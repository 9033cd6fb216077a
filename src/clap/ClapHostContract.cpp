#include "clap/ClapHostContract.h"

#include <array>
#include <cstddef>

namespace {

constexpr std::size_t kBreachCount = static_cast<std::size_t>(TClapBreach::Count);
static_assert(kBreachCount <= 64, "one bit per kind in a 64-bit word");

// In the order of TClapBreach.
constexpr std::array<const char*, kBreachCount> kMessages = {
    "clap_plugin.init() called off the main thread; refused",
    "clap_plugin.init() called twice; refused",
    "a main-thread call came before clap_plugin.init(); refused",
    "clap_plugin.destroy() called off the main thread",
    "clap_plugin.destroy() called while active; deactivated first",
    "clap_plugin.activate() called off the main thread; refused",
    "clap_plugin.activate() called while already active; refused",
    "clap_plugin.deactivate() called off the main thread; ignored",
    "clap_plugin.deactivate() called while not active; ignored",
    "clap_plugin.deactivate() called while processing; processing stopped first",
    "clap_plugin.start_processing() called off the audio thread; refused",
    "clap_plugin.start_processing() called while not active; refused",
    "clap_plugin.start_processing() called while already processing; refused",
    "clap_plugin.stop_processing() called off the audio thread; ignored",
    "clap_plugin.stop_processing() called while not active; ignored",
    "clap_plugin.stop_processing() called while not processing; ignored",
    "clap_plugin.reset() called off the audio thread; ignored",
    "clap_plugin.reset() called while not active; ignored",
    "clap_plugin.process() called off the audio thread; answered CLAP_PROCESS_ERROR",
    "clap_plugin.process() called while not active; answered CLAP_PROCESS_ERROR",
    "clap_plugin.process() called while not processing; answered CLAP_PROCESS_ERROR",
    "clap_plugin.on_main_thread() called off the main thread; ignored",
    "clap_plugin_audio_ports called off the main thread; refused",
    "clap_plugin_params called off the main thread; refused",
    "clap_plugin_params.flush() called off the audio thread while active; ignored",
    "clap_plugin_params.flush() called off the main thread while not active; ignored",
    "clap_plugin_latency.get() called off the main thread; refused",
    "clap_plugin_state called off the main thread; refused",
    "clap_plugin_gui called off the main thread; refused",
    "clap_plugin_timer_support.on_timer() called off the main thread; ignored",
    "clap_plugin_posix_fd_support.on_fd() called off the main thread; ignored",
};

constexpr std::uint64_t Bit(TClapBreach breach) {
  return std::uint64_t{1} << static_cast<unsigned>(breach);
}

} // namespace

const char* ClapBreachMessage(TClapBreach breach) {
  const auto index = static_cast<std::size_t>(breach);
  return index < kMessages.size() ? kMessages[index] : "";
}

bool TClapHostContract::Init() {
  if (FInitialised.load()) {
    Report(TClapBreach::InitTwice, OnMainThread());
    return false;
  }
  // Asked here: the thread check is what tells this call's own thread.
  const auto* check = FHost.get_extension ? static_cast<const clap_host_thread_check_t*>(
                                                FHost.get_extension(&FHost, CLAP_EXT_THREAD_CHECK))
                                          : nullptr;
  FThreadCheck = check && check->is_main_thread && check->is_audio_thread ? check : nullptr;
  const auto* log =
      FHost.get_extension
          ? static_cast<const clap_host_log_t*>(FHost.get_extension(&FHost, CLAP_EXT_LOG))
          : nullptr;
  FLog = log && log->log ? log : nullptr;
  if (!OnMainThread()) {
    Report(TClapBreach::InitOffMain, false);
    return false;
  }
  FInitialised.store(true);
  // Calls that came before init could not be reported then.
  ReportPending();
  return true;
}

bool TClapHostContract::Deactivate() {
  if (!MainThreadCall(TClapBreach::DeactivateOffMain))
    return false;
  if (!FActive.load()) {
    Report(TClapBreach::DeactivateWhileInactive, true);
    return false;
  }
  if (FProcessing.exchange(false))
    Report(TClapBreach::DeactivateWhileProcessing, true);
  FActive.store(false);
  return true;
}

bool TClapHostContract::StartProcessing() {
  if (!OnAudioThread()) {
    Report(TClapBreach::StartProcessingOffAudio, false);
    return false;
  }
  if (!FActive.load()) {
    Report(TClapBreach::StartProcessingWhileInactive, false);
    return false;
  }
  if (FProcessing.exchange(true)) {
    Report(TClapBreach::StartProcessingTwice, false);
    return false;
  }
  return true;
}

bool TClapHostContract::StopProcessing() {
  if (!OnAudioThread()) {
    Report(TClapBreach::StopProcessingOffAudio, false);
    return false;
  }
  if (!FActive.load()) {
    Report(TClapBreach::StopProcessingWhileInactive, false);
    return false;
  }
  if (!FProcessing.exchange(false)) {
    Report(TClapBreach::StopProcessingWhileStopped, false);
    return false;
  }
  return true;
}

bool TClapHostContract::Reset() {
  if (!OnAudioThread()) {
    Report(TClapBreach::ResetOffAudio, false);
    return false;
  }
  if (!FActive.load()) {
    Report(TClapBreach::ResetWhileInactive, false);
    return false;
  }
  return true;
}

bool TClapHostContract::Process() {
  if (!OnAudioThread()) {
    Report(TClapBreach::ProcessOffAudio, false);
    return false;
  }
  if (!FActive.load()) {
    Report(TClapBreach::ProcessWhileInactive, false);
    return false;
  }
  if (!FProcessing.load()) {
    Report(TClapBreach::ProcessWhileStopped, false);
    return false;
  }
  return true;
}

bool TClapHostContract::ParamsFlush() {
  if (!FActive.load())
    return MainThreadCall(TClapBreach::FlushOffMainWhileInactive);
  if (!OnAudioThread()) {
    Report(TClapBreach::FlushOffAudioWhileActive, false);
    return false;
  }
  return true;
}

bool TClapHostContract::MainThreadCall(TClapBreach offMain) {
  if (!OnMainThread()) {
    Report(offMain, false);
    return false;
  }
  if (!FInitialised.load()) {
    Report(TClapBreach::CallBeforeInit, false);
    return false;
  }
  ReportPending();
  return true;
}

void TClapHostContract::Destroy() {
  if (!OnMainThread())
    Report(TClapBreach::DestroyOffMain, true);
  if (FActive.exchange(false))
    Report(TClapBreach::DestroyWhileActive, true);
  FProcessing.store(false);
  ReportPending();
}

bool TClapHostContract::OnMainThread() const {
  return !FThreadCheck || FThreadCheck->is_main_thread(&FHost);
}

bool TClapHostContract::OnAudioThread() const {
  return !FThreadCheck || FThreadCheck->is_audio_thread(&FHost);
}

void TClapHostContract::Report(TClapBreach breach, bool logNow) {
  const std::uint64_t bit = Bit(breach);
  if (FReported.fetch_or(bit) & bit)
    return;
  if (logNow && FInitialised.load()) {
    Log(breach);
    return;
  }
  FPending.fetch_or(bit);
  // Before init the host may not be called; init reports what waits.
  if (FInitialised.load() && FHost.request_callback)
    FHost.request_callback(&FHost);
}

void TClapHostContract::ReportPending() {
  const std::uint64_t pending = FPending.exchange(0);
  for (std::size_t i = 0; i < kBreachCount; ++i)
    if (pending & Bit(static_cast<TClapBreach>(i)))
      Log(static_cast<TClapBreach>(i));
}

void TClapHostContract::Log(TClapBreach breach) const {
  if (FLog)
    FLog->log(&FHost, CLAP_LOG_HOST_MISBEHAVING, ClapBreachMessage(breach));
}
