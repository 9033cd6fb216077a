// glowrasp-preview as a user runs it: in a real X server, with its own
// window, reporting the knob drags of the editor it hosts.
#include "xhost/XSession.h"

#include <X11/Xatom.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(20);

// The preview as a child process whose standard output the test reads.
class TPreviewProcess {
public:
  explicit TPreviewProcess(const std::vector<std::string>& arguments) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
      return;
    FOutput = fds[0];
    std::vector<std::string> args{GLOWRASP_PREVIEW_PATH, "--plugin", GLOWRASP_PLUGIN_PATH};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
      argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
      FPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
  }
  ~TPreviewProcess() {
    if (FPid > 0) {
      kill(FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
    }
    if (FOutput >= 0)
      close(FOutput);
  }
  TPreviewProcess(const TPreviewProcess&) = delete;
  TPreviewProcess& operator=(const TPreviewProcess&) = delete;

  bool Started() const { return FPid > 0; }

  // The exit status, or nothing when the process is still running after a
  // generous wait (it is then killed).
  std::optional<int> Wait() {
    const auto deadline = Clock::now() + kPatience;
    int status = 0;
    while (waitpid(FPid, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline)
        return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FPid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // Reads output until a line equal to `wanted` arrives; the lines read.
  std::vector<std::string> ReadUntil(const std::string& wanted) {
    const auto deadline = Clock::now() + kPatience;
    std::vector<std::string> lines;
    while (Clock::now() < deadline) {
      for (std::size_t end; (end = FPending.find('\n')) != std::string::npos;) {
        lines.push_back(FPending.substr(0, end));
        FPending.erase(0, end + 1);
        if (lines.back() == wanted)
          return lines;
      }
      pollfd entry{FOutput, POLLIN, 0};
      if (poll(&entry, 1, 50) <= 0)
        continue;
      char buffer[256];
      const ssize_t count = read(FOutput, buffer, sizeof buffer);
      if (count <= 0)
        break;
      FPending.append(buffer, static_cast<std::size_t>(count));
    }
    return lines;
  }

private:
  pid_t FPid = -1;
  int FOutput = -1;
  std::string FPending;
};

// The preview's top-level window, found by its title.
Window FindWindowTitled(TXSession& x, const std::string& title) {
  for (Window window : x.Children(DefaultRootWindow(x.Connection()))) {
    char* name = nullptr;
    if (XFetchName(x.Connection(), window, &name) && name) {
      const bool match = title == name;
      XFree(name);
      if (match)
        return window;
    }
  }
  return 0;
}

template <typename Predicate>
bool WaitFor(Predicate done) {
  const auto deadline = Clock::now() + kPatience;
  while (!done()) {
    if (Clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void RequestClose(TXSession& x, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(x.Connection(), "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] =
      static_cast<long>(XInternAtom(x.Connection(), "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(x.Connection(), window, False, NoEventMask, &event);
  XSync(x.Connection(), False);
}

TEST(PreviewTool, RunsForTheGivenTimeAndExitsCleanly) {
  TPreviewProcess preview({"--exit-after", "2"});
  ASSERT_TRUE(preview.Started());
  EXPECT_EQ(preview.Wait(), 0);
}

TEST(PreviewTool, ReportsKnobDragsAndQuitsWhenTheWindowIsClosed) {
  TXSession x;
  ASSERT_TRUE(x) << "no X display: run under tests/run-with-xvfb.sh";
  // Long enough that only the close request can end it within the test.
  TPreviewProcess preview({"--exit-after", "600"});
  ASSERT_TRUE(preview.Started());

  Window window = 0;
  Window editor = 0;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindowTitled(x, "Kestrune Glowrasp");
    const auto children = window ? x.Children(window) : std::vector<Window>{};
    editor = children.size() == 1 ? children.front() : 0;
    return editor && x.Viewable(editor);
  })) << "no window titled \"Kestrune Glowrasp\" with the editor in it";

  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(x.Connection(), window, &attributes));
  EXPECT_EQ(attributes.width, 402);
  EXPECT_EQ(attributes.height, 250);

  // Gain up by two coarse steps, from its centre.
  int left = 0;
  int top = 0;
  x.RootOrigin(editor, left, top);
  x.MovePointer(left + 67, top + 89);
  x.Press(1);
  for (int dy = 10; dy <= 40; dy += 10)
    x.MovePointer(left + 67, top + 89 - dy);
  x.Release(1);
  const auto lines = preview.ReadUntil("automate 0 0.55 4.8 dB");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "automate 0 0.55 4.8 dB");
  for (const std::string& line : lines)
    EXPECT_TRUE(line.starts_with("automate 0 ")) << line;

  RequestClose(x, window);
  EXPECT_EQ(preview.Wait(), 0) << "the preview did not quit when its window was closed";
}

} // namespace
