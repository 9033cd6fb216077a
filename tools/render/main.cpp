// glowrasp-render: processes an audio file through the plug-in binary, which
// it loads and drives exactly as a VST 2 host does, or draws its editor.
#include "hostlib/Editor.h"
#include "hostlib/Parameters.h"
#include "hostlib/PluginHost.h"
#include "render/Options.h"
#include "render/PngFile.h"
#include "render/Renderer.h"
#include "render/SoundFiles.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace glowrasp;

constexpr const char* kToolName = "glowrasp-render";
// Files shorter than this finish before a progress bar would be any use.
constexpr double kProgressAfterSeconds = 5.0;
// The editor opens only once the plug-in knows a sample rate; any will do.
constexpr int kEditorSampleRate = 44100;
// The centre of the question mark in the editor's top-right corner.
constexpr int kHelpHotSpotX = 389;
constexpr int kHelpHotSpotY = 15;

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
  interrupted.store(true, std::memory_order_relaxed);
}

std::string pluginPath(const render::RenderOptions& options) {
  return options.plugin.empty() ? host::defaultPluginPath(GLOWRASP_DEFAULT_PLUGIN) : options.plugin;
}

// Errors are promised as one line, whatever a library put into its message.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r')
      c = ' ';
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text;
}

void printParameters(const host::Plugin& plugin) {
  for (const auto& param : host::describeParameters(plugin))
    std::printf("  [%d] %-10s %7s %s\n", param.index, param.name.c_str(), param.display.c_str(),
                param.label.c_str());
}

void printStats(const render::RenderResult& result, double sampleRate) {
  std::printf("peak       in %7.2f dBFS   out %7.2f dBFS\n", result.input.peakDbfs(),
              result.output.peakDbfs());
  std::printf("rms        in %7.2f dBFS   out %7.2f dBFS\n", result.input.rmsDbfs(),
              result.output.rmsDbfs());
  const double seconds = static_cast<double>(result.frames) / sampleRate;
  if (result.processSeconds > 0.0)
    std::printf("speed      %.1fx real time (%.1f ms for %.3f s of audio)\n",
                seconds / result.processSeconds, result.processSeconds * 1000.0, seconds);
  else
    std::printf("speed      n/a (no audio)\n");
}

// The host sequence up to processing: main, effOpen, sample rate, block
// size, resume, then the three parameters.
std::unique_ptr<host::Plugin> startPlugin(const std::string& path,
                                          const render::RenderOptions& options, int sampleRate) {
  auto plugin = std::make_unique<host::Plugin>(std::make_shared<const host::PluginLibrary>(path));
  if (plugin->numInputs() != 2 || plugin->numOutputs() != 2)
    throw host::HostError("the plug-in has " + std::to_string(plugin->numInputs()) +
                          " inputs and " + std::to_string(plugin->numOutputs()) +
                          " outputs; expected 2 and 2");
  plugin->setSampleRate(static_cast<float>(sampleRate));
  plugin->setBlockSize(options.block);
  plugin->resume();
  host::applySettings(*plugin, options.settings);
  return plugin;
}

void printSetup(const host::Plugin& plugin, const render::RenderOptions& options,
                const SF_INFO& inInfo, int latency) {
  std::printf("plug-in    %s (%s, %d in, %d out)\n", plugin.library().path().c_str(),
              plugin.uniqueId().c_str(), plugin.numInputs(), plugin.numOutputs());
  printParameters(plugin);
  std::printf("latency    %d frames%s\n", latency,
              latency == 0                ? ""
              : options.compensateLatency ? ", compensated"
                                          : ", not compensated");
  std::printf("input      %s: %s, %d ch, %d Hz, %.3f s\n", options.input.c_str(),
              render::describeFormat(inInfo.format).c_str(), inInfo.channels, inInfo.samplerate,
              static_cast<double>(inInfo.frames) / inInfo.samplerate);
  std::fflush(stdout);
}

int run(const render::RenderOptions& options) {
  // Everything that can be checked without the plug-in is checked first.
  auto input = render::SoundFile::openForReading(options.input);
  const SF_INFO inInfo = input.info();
  if (inInfo.channels > 2)
    throw host::HostError("'" + options.input + "' has " + std::to_string(inInfo.channels) +
                          " channels; only mono and stereo files are supported");
  const int container = render::containerForPath(options.output);
  const int outFormat = render::chooseOutputFormat(inInfo.format, container, options.floatSamples,
                                                   inInfo.channels, inInfo.samplerate);
  render::PendingFile pending(options.output);

  const auto plugin = startPlugin(pluginPath(options), options, inInfo.samplerate);
  const int latency = std::max(plugin->initialDelay(), 0);
  printSetup(*plugin, options, inInfo, latency);

  auto output = render::SoundFile::createOnDescriptor(
      pending.descriptor(), options.output, outFormat, inInfo.channels, inInfo.samplerate);
  const bool longFile = inInfo.frames > kProgressAfterSeconds * inInfo.samplerate;
  const render::RenderPlan plan{options.block, options.compensateLatency ? latency : 0,
                                isatty(STDERR_FILENO) && longFile};
  const auto result = render::renderFile(*plugin, input, output, plan, interrupted);
  plugin->suspend();
  output.close();
  pending.commit();

  std::printf("output     %s: %s, %d ch, %lld frames\n", options.output.c_str(),
              render::describeFormat(outFormat).c_str(), inInfo.channels,
              static_cast<long long>(result.frames));
  if (options.stats)
    printStats(result, inInfo.samplerate);
  return EXIT_SUCCESS;
}

// The same start-up as for audio, then the editor opened without a window;
// the picture is written before the editor closes.
int runScreenshot(const render::RenderOptions& options) {
  render::PendingFile pending(options.screenshot);
  const auto plugin = startPlugin(pluginPath(options), options, kEditorSampleRate);
  std::printf("plug-in    %s (%s)\n", plugin->library().path().c_str(), plugin->uniqueId().c_str());
  printParameters(*plugin);

  const host::OpenEditor editor(*plugin, nullptr);
  editor.idle();
  if (options.helpOverlay) {
    editor.click(kHelpHotSpotX, kHelpHotSpotY);
    editor.idle();
  }
  const host::EditorPicture picture = editor.snapshot();
  render::writePng(pending, options.screenshot, picture);
  pending.commit();
  std::printf("editor     %s: %d x %d, help %s\n", options.screenshot.c_str(), picture.width,
              picture.height, options.helpOverlay ? "shown" : "hidden");
  return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
  try {
    const auto options = render::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      std::fputs(render::usageText().c_str(), stdout);
      return EXIT_SUCCESS;
    }
    return options.editorScreenshot() ? runScreenshot(options) : run(options);
  } catch (const render::UsageError& e) {
    std::fprintf(stderr, "%s: %s; see --help\n", kToolName, oneLine(e.what()).c_str());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", kToolName, oneLine(e.what()).c_str());
    return EXIT_FAILURE;
  }
}
