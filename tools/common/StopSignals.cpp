#include "common/StopSignals.h"

#include <array>
#include <atomic>
#include <csignal>
#include <utility>

namespace glowrasp::tools {
namespace {

constexpr std::array<std::pair<int, const char*>, 5> kStopSignals{{
    {SIGINT, "SIGINT"},
    {SIGTERM, "SIGTERM"},
    {SIGHUP, "SIGHUP"},
    {SIGQUIT, "SIGQUIT"},
    {SIGPIPE, "SIGPIPE"},
}};

// Lock-free, so the handler may touch it.
std::atomic<int> firstStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onStopSignal(int signal) {
  int none = 0;
  firstStopSignal.compare_exchange_strong(none, signal, std::memory_order_relaxed);
}

} // namespace

void catchStopSignals() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted reads and writes resume; the tools look at the request
  // between steps, and poll() returns early regardless.
  action.sa_flags = SA_RESTART;
  for (const auto& [signal, name] : kStopSignals)
    sigaction(signal, &action, nullptr);
}

int stopSignal() {
  return firstStopSignal.load(std::memory_order_relaxed);
}

bool stopRequested() {
  return stopSignal() != 0;
}

std::string signalName(int signal) {
  for (const auto& [number, name] : kStopSignals)
    if (number == signal)
      return name;
  return "signal " + std::to_string(signal);
}

} // namespace glowrasp::tools
