// glowrasp-preview: shows the plug-in's editor in a window of its own, hosted
// exactly as a VST 2 host would host it, and prints every automation the
// editor sends.
#include "base/Version.h"
#include "common/StopSignals.h"
#include "common/UsageError.h"
#include "hostlib/Editor.h"
#include "hostlib/PluginHost.h"
#include "preview/HostWindow.h"

#include <poll.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

using namespace glowrasp;
using Clock = std::chrono::steady_clock;

constexpr const char* kToolName = "glowrasp-preview";
constexpr const char* kTitle = "Kestrune Glowrasp";
constexpr float kSampleRate = 44100.0f;
constexpr int kBlockSize = 512;
// Hosts idle their editors about 30 times a second.
constexpr auto kIdlePeriod = std::chrono::milliseconds(33);

using tools::UsageError;

struct Options {
  std::string plugin;
  std::optional<double> exitAfter; // seconds
  bool help = false;
  bool version = false;
};

void printUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: %s [--plugin PATH] [--exit-after SECONDS]\n"
               "Shows the plug-in's editor and prints each automation it sends as\n"
               "  automate <index> <value> <display text>\n"
               "  --plugin PATH         the plug-in binary (default: the built or installed\n"
               "                        one, else ~/.vst/KestruneGlowrasp.so)\n"
               "  --exit-after SECONDS  close the editor and quit after this long\n"
               "  --version             show the version\n"
               "  -h, --help            show this text\n",
               kToolName);
}

double parseSeconds(std::string_view text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc{} || ptr != end || !std::isfinite(value) || value < 0.0)
    throw UsageError("--exit-after needs a number of seconds, not '" + std::string(text) + "'");
  return value;
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--version") {
      options.version = true;
      continue;
    }
    if (arg != "--plugin" && arg != "--exit-after")
      throw UsageError("unknown option '" + std::string(arg) + "'");
    if (i + 1 == argc)
      throw UsageError(std::string(arg) + " needs a value");
    const std::string_view value = argv[++i];
    if (arg == "--plugin")
      options.plugin = value;
    else
      options.exitAfter = parseSeconds(value);
  }
  if (options.plugin.empty())
    options.plugin = host::defaultPluginPath(GLOWRASP_DEFAULT_PLUGIN);
  return options;
}

std::string trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

void printAutomation(const host::Plugin& plugin, int index, float value) {
  std::string text = trimmed(plugin.paramDisplay(index));
  const std::string label = trimmed(plugin.paramLabel(index));
  if (!label.empty())
    text += " " + label;
  std::printf("automate %d %g %s\n", index, static_cast<double>(value), text.c_str());
  std::fflush(stdout);
}

void waitForEvents(int fd, Clock::time_point until) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
  pollfd entry{fd, POLLIN, 0};
  poll(&entry, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
}

void runEventLoop(const host::Plugin& plugin, preview::HostWindow& window,
                  std::optional<Clock::time_point> deadline) {
  auto nextIdle = Clock::now();
  while (!tools::stopRequested() && window.processEvents()) {
    const auto now = Clock::now();
    if (deadline && now >= *deadline)
      break;
    if (now >= nextIdle) {
      plugin.dispatch(effEditIdle);
      nextIdle += kIdlePeriod;
      // After a stall, keep the pace instead of catching up with a burst.
      if (nextIdle < now)
        nextIdle = now + kIdlePeriod;
    }
    waitForEvents(window.fd(), deadline ? std::min(nextIdle, *deadline) : nextIdle);
  }
}

int runPreview(const Options& options) {
  host::Plugin plugin(std::make_shared<const host::PluginLibrary>(options.plugin));
  plugin.onAutomation([&plugin](int index, float value) { printAutomation(plugin, index, value); });
  plugin.setSampleRate(kSampleRate);
  plugin.setBlockSize(kBlockSize);
  plugin.resume();

  const host::EditorSize size = host::editorSize(plugin);
  preview::HostWindow window(size.width, size.height, kTitle);
  plugin.onSizeWindow([&window](int width, int height) {
    window.resize(width, height);
    return true;
  });
  const host::OpenEditor editor(plugin,
                                reinterpret_cast<void*>(static_cast<std::uintptr_t>(window.id())));
  window.show();

  std::optional<Clock::time_point> deadline;
  if (options.exitAfter)
    deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(*options.exitAfter));
  runEventLoop(plugin, window, deadline);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  tools::catchStopSignals();
  try {
    const Options options = parseOptions(argc, argv);
    if (options.help) {
      printUsage(stdout);
      return 0;
    }
    if (options.version) {
      std::printf("%s %s\n", kToolName, kVersionText);
      return 0;
    }
    return runPreview(options);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "%s: %s\n", kToolName, error.what());
    printUsage(stderr);
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", kToolName, error.what());
    return 1;
  }
}
