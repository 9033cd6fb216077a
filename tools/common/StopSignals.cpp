#include "common/StopSignals.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
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

// Lock-free, so the handler may touch them.
std::atomic<int> firstStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// The handler writes to this pipe, which wakes every poll() that waits on a
// stalled descriptor, whichever thread the signal interrupted.
std::atomic<int> wakeWrite{-1};
std::atomic<int> wakeRead{-1};

extern "C" void onStopSignal(int signal) {
  const int savedErrno = errno;
  int none = 0;
  firstStopSignal.compare_exchange_strong(none, signal, std::memory_order_relaxed);
  const char byte = 1;
  // A full pipe is awake already.
  [[maybe_unused]] const ssize_t ignored =
      write(wakeWrite.load(std::memory_order_relaxed), &byte, 1);
  errno = savedErrno;
}

bool hasDefaultAction(int signal) {
  struct sigaction current {};
  return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
         (current.sa_flags & SA_SIGINFO) == 0;
}

} // namespace

void catchStopSignals() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead.store(ends[0], std::memory_order_relaxed);
    wakeWrite.store(ends[1], std::memory_order_relaxed);
  }
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read or write the signal interrupts returns, and the
  // tool looks at the request instead of waiting on.
  action.sa_flags = 0;
  for (const auto& [signal, name] : kStopSignals)
    if (hasDefaultAction(signal))
      sigaction(signal, &action, nullptr);
}

int stopSignal() {
  return firstStopSignal.load(std::memory_order_relaxed);
}

bool stopRequested() {
  return stopSignal() != 0;
}

bool waitUntilReady(int descriptor, short events) {
  std::array<pollfd, 2> watched{
      {{descriptor, events, 0}, {wakeRead.load(std::memory_order_relaxed), POLLIN, 0}}};
  for (;;) {
    if (stopRequested())
      return false;
    if (poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR)
      return true; // the caller's own call then reports what is wrong
    // An error or hang-up on the descriptor is for the caller's call to see.
    if (watched[0].revents != 0)
      return !stopRequested();
  }
}

bool pauseUnlessStopped(std::chrono::milliseconds time) {
  pollfd wake{wakeRead.load(std::memory_order_relaxed), POLLIN, 0};
  if (!stopRequested())
    poll(&wake, 1, static_cast<int>(time.count()));
  return !stopRequested();
}

std::string signalName(int signal) {
  for (const auto& [number, name] : kStopSignals)
    if (number == signal)
      return name;
  return "signal " + std::to_string(signal);
}

void dieOf(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  // Reached only if the default action does not end the process.
  std::_Exit(128 + signal);
}

} // namespace glowrasp::tools
