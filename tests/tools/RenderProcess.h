// glowrasp-render as a child process whose standard input and output are
// pipes, or whose standard error is a terminal, so that tests can feed it,
// read it, cut it off and signal it the way shells and scripts do.
#pragma once

#include "tools/ToolTestSupport.h"

#include <chrono>
#include <csignal>
#include <cstddef>
#include <fstream>
#include <limits>
#include <optional>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace glowrasp::testing {

// Far longer than a stopped render takes; a render still running then waits
// for a producer or reader that never moves.
constexpr std::chrono::seconds kStopGuard{30};

// Polls the condition for up to 30 s; whether it came true.
template <typename Condition>
bool eventually(Condition condition) {
  for (int tries = 0; tries < 3000; ++tries) {
    if (condition())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

struct Pipes {
  bool input = false;
  bool output = false;
  // The reader closes its end after this many bytes of output.
  std::size_t outputLimit = std::numeric_limits<std::size_t>::max();
  // The reader never reads, and keeps its end open until the child is gone.
  bool stalledReader = false;
};

class RenderProcess {
public:
  RenderProcess(const TempDir& dir, const std::vector<std::string>& args, Pipes pipes,
                const std::vector<std::string>& launcher = {})
      : FErrPath(dir.file("render.stderr")) {
    // Feeding a child that has already gone must fail as a write, not end the test.
    std::signal(SIGPIPE, SIG_IGN);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int inputPipe[2] = {-1, -1};
    int outputPipe[2] = {-1, -1};
    if (pipes.input) {
      makePipe(inputPipe);
      posix_spawn_file_actions_adddup2(&actions, inputPipe[0], 0);
      posix_spawn_file_actions_addclose(&actions, inputPipe[1]);
    }
    if (pipes.output) {
      makePipe(outputPipe);
      posix_spawn_file_actions_adddup2(&actions, outputPipe[1], 1);
      posix_spawn_file_actions_addclose(&actions, outputPipe[0]);
    } else {
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, FErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    FPid = spawnRender(args, actions, launcher);
    posix_spawn_file_actions_destroy(&actions);
    if (pipes.input) {
      close(inputPipe[0]);
      FInput = inputPipe[1];
    }
    if (pipes.output) {
      close(outputPipe[1]);
      if (pipes.stalledReader)
        FStalledOutput = outputPipe[0];
      else
        FReader = std::thread(
            [this, fd = outputPipe[0], limit = pipes.outputLimit] { drain(fd, limit); });
    }
  }
  ~RenderProcess() {
    closeInput();
    closeStalledOutput();
    if (FPid > 0) {
      kill(FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
    }
    if (FReader.joinable())
      FReader.join();
  }
  RenderProcess(const RenderProcess&) = delete;
  RenderProcess& operator=(const RenderProcess&) = delete;

  pid_t pid() const { return FPid; }

  // Stops early, without complaint, when the child no longer reads.
  void feed(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t wrote = write(FInput, bytes.data() + done, bytes.size() - done);
      if (wrote <= 0)
        return;
      done += static_cast<std::size_t>(wrote);
    }
  }

  void closeInput() {
    if (FInput >= 0)
      close(std::exchange(FInput, -1));
  }

  // Exit status, or the signal that ended the child; out holds what it
  // wrote to its standard output.
  RunResult wait() {
    closeInput();
    int status = 0;
    waitpid(std::exchange(FPid, -1), &status, 0);
    return collect(status);
  }

  // The same, but the input and a stalled output stay as they are while the
  // child runs: nothing when it is still running after the guard (the
  // destructor then kills it).
  std::optional<RunResult> waitWhileStalled(std::chrono::seconds guard) {
    const auto until = std::chrono::steady_clock::now() + guard;
    int status = 0;
    while (waitpid(FPid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > until)
        return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FPid = -1;
    closeInput();
    return collect(status);
  }

  // Whether the child holds a file in the folder open (its output, named or
  // not).
  bool writesInto(const TempDir& dir) const {
    const std::string folder = dir.path().string() + "/";
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(FPid) + "/fd", error)) {
      const auto target = std::filesystem::read_symlink(entry.path(), error);
      if (!error && target.string().starts_with(folder) &&
          !target.string().starts_with(folder + "render."))
        return true;
    }
    return false;
  }

  // Whether the child has its own handler for the signal yet.
  bool catches(int signal) const {
    std::ifstream status("/proc/" + std::to_string(FPid) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.starts_with("SigCgt:"))
        return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
    return false;
  }

  // Bytes waiting in the stalled output pipe.
  int bytesUnread() const {
    int bytes = 0;
    ioctl(FStalledOutput, FIONREAD, &bytes);
    return bytes;
  }

private:
  RunResult collect(int status) {
    closeStalledOutput();
    if (FReader.joinable())
      FReader.join();
    RunResult result;
    takeWaitStatus(status, result);
    result.out = std::move(FOutput);
    result.err = readText(FErrPath);
    std::filesystem::remove(FErrPath);
    return result;
  }

  void closeStalledOutput() {
    if (FStalledOutput >= 0)
      close(std::exchange(FStalledOutput, -1));
  }

  static void makePipe(int ends[2]) {
    if (pipe(ends) != 0)
      throw std::runtime_error("pipe failed");
  }

  void drain(int fd, std::size_t limit) {
    char buffer[65536];
    while (FOutput.size() < limit) {
      const ssize_t got = read(fd, buffer, std::min(sizeof buffer, limit - FOutput.size()));
      if (got <= 0)
        break;
      FOutput.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
  }

  std::string FErrPath;
  pid_t FPid = -1;
  int FInput = -1;
  int FStalledOutput = -1;
  std::thread FReader;
  std::string FOutput;
};

// Runs glowrasp-render with its standard error on a terminal, as a user at
// a shell sees it; err holds what the terminal received.
inline RunResult runRenderOnTerminal(const std::vector<std::string>& args) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
    throw std::runtime_error("no pseudo-terminal");
  const std::string terminal = ptsname(master);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, terminal.c_str(), O_RDWR | O_NOCTTY, 0);
  posix_spawn_file_actions_addclose(&actions, master);
  const pid_t pid = spawnRender(args, actions);
  posix_spawn_file_actions_destroy(&actions);

  // Reading as it comes keeps the terminal's small buffer from filling up.
  RunResult result;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0)
      break; // EIO once the child has closed the terminal
    result.err.append(buffer, static_cast<std::size_t>(got));
  }
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  takeWaitStatus(status, result);
  return result;
}

} // namespace glowrasp::testing
