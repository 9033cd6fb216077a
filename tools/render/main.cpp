// glowrasp-render: processes an audio file through the plug-in binary, which
// it loads and drives exactly as a VST 2 host does, or draws its editor.
#include "base/Version.h"
#include "common/StopSignals.h"
#include "common/UsageError.h"
#include "hostlib/Editor.h"
#include "hostlib/Parameters.h"
#include "hostlib/PluginHost.h"
#include "render/HeaderLength.h"
#include "render/Options.h"
#include "render/OutputFile.h"
#include "render/PngFile.h"
#include "render/Renderer.h"
#include "render/SoundFiles.h"
#include "render/WavStream.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace glowrasp;
using Clock = std::chrono::steady_clock;

constexpr const char* kToolName = "glowrasp-render";
// Files shorter than this finish before a progress bar would be any use.
constexpr double kProgressAfterSeconds = 5.0;
// The editor opens only once the plug-in knows a sample rate; any will do.
constexpr int kEditorSampleRate = 44100;
// The centre of the question mark in the editor's top-right corner.
constexpr int kHelpHotSpotX = 389;
constexpr int kHelpHotSpotY = 15;
// A command line that cannot run, and a run that failed, told apart as
// audio tools commonly do.
constexpr int kExitUsage = 1;
constexpr int kExitFailure = 2;

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

void warn(const std::string& text) {
  std::fprintf(stderr, "%s: warning: %s\n", kToolName, oneLine(text).c_str());
}

bool isStandardStream(const std::string& path) {
  return path == render::kStandardStream;
}

std::string shownName(const std::string& path, const char* stream) {
  return isStandardStream(path) ? stream : path;
}

// Where the report of a run goes: standard output unless the audio does;
// nowhere with --quiet.
std::FILE* reportStream(const render::RenderOptions& options) {
  if (options.quiet)
    return nullptr;
  return isStandardStream(options.output) ? stderr : stdout;
}

void printParameters(std::FILE* out, const host::Plugin& plugin) {
  for (const auto& param : host::describeParameters(plugin))
    std::fprintf(out, "  [%d] %-10s %7s %s\n", param.index, param.name.c_str(),
                 param.display.c_str(), param.label.c_str());
}

void printStats(std::FILE* out, const render::RenderResult& result, double sampleRate,
                bool integerOutput, double runSeconds) {
  std::fprintf(out, "peak       in %7.2f dBFS   out %7.2f dBFS\n", result.input.peakDbfs(),
               result.output.peakDbfs());
  std::fprintf(out, "rms        in %7.2f dBFS   out %7.2f dBFS\n", result.input.rmsDbfs(),
               result.output.rmsDbfs());
  if (integerOutput)
    std::fprintf(out, "clipped    %llu samples\n", static_cast<unsigned long long>(result.clipped));
  const double seconds = static_cast<double>(result.frames) / sampleRate;
  if (result.frames > 0 && runSeconds > 0.0) {
    std::fprintf(out, "speed      %.1fx real time, whole run with reading and writing\n",
                 seconds / runSeconds);
    std::fprintf(out, "           (%.1f ms for %.3f s of audio)\n", runSeconds * 1000.0, seconds);
    if (result.processSeconds > 0.0)
      std::fprintf(out, "plug-in    %.1fx real time inside processReplacing alone\n",
                   seconds / result.processSeconds);
  } else {
    std::fprintf(out, "speed      n/a (no audio)\n");
  }
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

void printSetup(std::FILE* out, const host::Plugin& plugin, const render::RenderOptions& options,
                const render::SoundFile& input, int latency) {
  const SF_INFO& info = input.info();
  std::fprintf(out, "plug-in    %s (%s, %d in, %d out)\n", plugin.library().path().c_str(),
               plugin.uniqueId().c_str(), plugin.numInputs(), plugin.numOutputs());
  printParameters(out, plugin);
  std::fprintf(out, "latency    %d frames%s\n", latency,
               latency == 0                ? ""
               : options.compensateLatency ? ", compensated"
                                           : ", not compensated");
  std::fprintf(out, "input      %s: %s, %d ch, %d Hz",
               shownName(input.path(), "standard input").c_str(),
               render::describeFormat(info.format).c_str(), info.channels, info.samplerate);
  // A pipe's length is only what its header claims.
  if (!input.stream())
    std::fprintf(out, ", %.3f s", static_cast<double>(info.frames) / info.samplerate);
  std::fputc('\n', out);
  std::fflush(out);
}

// MP3 lengths are estimates unless the encoder left a note of the exact one.
bool exactLength(const SF_INFO& info) {
  return (info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_MPEG;
}

// A file that ends before its header says it does is rendered as far as it
// goes, which the user should hear about.
void checkLength(const render::SoundFile& input, sf_count_t framesRead) {
  if (input.stream())
    return;
  sf_count_t expected = exactLength(input.info()) ? input.info().frames : 0;
  const auto promised = isStandardStream(input.path())
                            ? std::nullopt
                            : render::promisedFrames(input.path(), input.info().format);
  if (promised)
    expected = std::max(expected, *promised);
  if (framesRead < expected)
    warn("'" + shownName(input.path(), "standard input") + "' ends after " +
         std::to_string(framesRead) + " of the " + std::to_string(expected) +
         " frames its header promises; rendered what is there");
}

void warnAboutClipping(const render::RenderResult& result) {
  if (result.clipped == 0)
    return;
  char peak[32];
  std::snprintf(peak, sizeof peak, "%+.2f", render::toDbfs(result.peakBeforeClipping));
  warn("clipped " + std::to_string(result.clipped) + " samples (peak " + peak + " dBFS)");
}

// Standard output that a shell pointed at a file gets its lengths written
// at the end, as a named file does; appending could not go back for them.
bool seekableStandardOutput() {
  struct stat status {};
  const int flags = fcntl(STDOUT_FILENO, F_GETFL);
  return fstat(STDOUT_FILENO, &status) == 0 && S_ISREG(status.st_mode) && flags >= 0 &&
         (flags & O_APPEND) == 0;
}

// The frames the output will get where they are known beforehand.
std::optional<sf_count_t> expectedFrames(const render::SoundFile& input) {
  const SF_INFO& info = input.info();
  if (input.stream()) {
    // A header on a pipe that leaves its length open claims about 4 GiB.
    const sf_count_t frameBytes = render::sampleBytes(info.format) * info.channels;
    if (frameBytes == 0 || info.frames >= render::kMaxDataBytes / frameBytes)
      return std::nullopt;
    return info.frames;
  }
  if (exactLength(info))
    return info.frames;
  // An estimate; twice it is safe.
  if (info.frames > std::numeric_limits<sf_count_t>::max() / 2)
    return std::nullopt;
  return info.frames * 2;
}

std::unique_ptr<render::AudioSink> openOutput(const render::RenderOptions& options,
                                              const render::OutputFile* named, int format,
                                              const SF_INFO& inInfo, bool lengthKnown) {
  if (named)
    return std::make_unique<render::SoundFile>(
        render::SoundFile::createOnDescriptor(named->descriptor(), options.output, format,
                                              inInfo.channels, inInfo.samplerate, lengthKnown));
  if (seekableStandardOutput())
    return std::make_unique<render::SoundFile>(render::SoundFile::createOnDescriptor(
        STDOUT_FILENO, "standard output", format, inInfo.channels, inInfo.samplerate, lengthKnown));
  return std::make_unique<render::WavStream>(STDOUT_FILENO, "standard output", format,
                                             inInfo.channels, inInfo.samplerate);
}

// Audio is no use on a terminal, and waiting for it there looks like a hang.
void refuseTerminals(const render::RenderOptions& options) {
  if (isStandardStream(options.input) && isatty(STDIN_FILENO))
    throw host::HostError("standard input is a terminal, not audio");
  if (isStandardStream(options.output) && isatty(STDOUT_FILENO))
    throw host::HostError("standard output is a terminal; send the audio to a file or a pipe");
}

void reportOutcome(const render::RenderOptions& options, const render::SoundFile& input,
                   int outFormat, const render::RenderResult& result, double runSeconds) {
  // outFormat: as written, where libsndfile chose between WAV and RF64.
  const SF_INFO& info = input.info();
  if (std::FILE* report = reportStream(options))
    std::fprintf(report, "output     %s: %s, %d ch, %lld frames\n",
                 shownName(options.output, "standard output").c_str(),
                 render::describeFormat(outFormat).c_str(), info.channels,
                 static_cast<long long>(result.frames));
  checkLength(input, result.frames);
  warnAboutClipping(result);
  // Asked for explicitly, so printed even with --quiet.
  if (options.stats)
    printStats(isStandardStream(options.output) ? stderr : stdout, result, info.samplerate,
               render::integerBits(outFormat) > 0, runSeconds);
}

// Between steps that a stop signal does not cut short itself.
void stopIfRequested() {
  if (tools::stopRequested())
    throw host::HostError("interrupted");
}

int run(const render::RenderOptions& options) {
  const auto started = Clock::now();
  // Everything that can be checked without the plug-in is checked first.
  refuseTerminals(options);
  const int container = render::containerForPath(options.output);
  const render::SampleRequest request{options.bits, options.floatSamples};
  render::checkSampleRequest(container, request);
  auto input = render::SoundFile::openForReading(options.input);
  const SF_INFO inInfo = input.info();
  if (inInfo.channels > 2)
    throw host::HostError("'" + shownName(options.input, "standard input") + "' has " +
                          std::to_string(inInfo.channels) +
                          " channels; only mono and stereo files are supported");
  int outFormat = render::chooseOutputFormat(inInfo.format, container, request, inInfo.channels,
                                             inInfo.samplerate);
  const std::optional<sf_count_t> frames = expectedFrames(input);
  // Whether the samples fit is known before the first of them is written.
  if (!isStandardStream(options.output) || seekableStandardOutput())
    outFormat = render::formatForLength(outFormat, frames, inInfo.channels,
                                        shownName(options.output, "standard output"));
  std::unique_ptr<render::OutputFile> named;
  if (!isStandardStream(options.output))
    named = render::openOutputFile(options.output);

  const auto plugin = startPlugin(pluginPath(options), options, inInfo.samplerate);
  const int latency = std::max(plugin->initialDelay(), 0);
  std::FILE* report = reportStream(options);
  if (report)
    printSetup(report, *plugin, options, input, latency);

  const auto output = openOutput(options, named.get(), outFormat, inInfo, frames.has_value());
  const bool longFile =
      !input.stream() && inInfo.frames > kProgressAfterSeconds * inInfo.samplerate;
  const render::RenderPlan plan{
      .block = options.block,
      .latency = options.compensateLatency ? latency : 0,
      .bits = render::integerBits(outFormat),
      .dither = options.dither,
      .showProgress = report && isatty(STDERR_FILENO) && longFile,
      .measureLevels = options.stats,
  };
  const auto result = render::renderFile(*plugin, input, *output, plan);
  plugin->suspend();
  output->close();
  if (named)
    named->sync();
  // A stop that came during the last block or the sync still leaves the
  // target alone.
  stopIfRequested();
  if (named)
    named->commit();
  reportOutcome(options, input, output->format(), result,
                std::chrono::duration<double>(Clock::now() - started).count());
  return EXIT_SUCCESS;
}

// The same start-up as for audio, then the editor opened without a window;
// the picture is written before the editor closes.
int runScreenshot(const render::RenderOptions& options) {
  const auto output = render::openOutputFile(options.screenshot);
  const auto plugin = startPlugin(pluginPath(options), options, kEditorSampleRate);
  stopIfRequested();
  std::FILE* report = reportStream(options);
  if (report) {
    std::fprintf(report, "plug-in    %s (%s)\n", plugin->library().path().c_str(),
                 plugin->uniqueId().c_str());
    printParameters(report, *plugin);
  }

  // Before the size is asked for, as hosts do.
  host::setContentScale(*plugin, options.scale);
  const host::OpenEditor editor(*plugin, nullptr);
  editor.idle();
  if (options.helpOverlay) {
    editor.click(static_cast<int>(kHelpHotSpotX * options.scale),
                 static_cast<int>(kHelpHotSpotY * options.scale));
    editor.idle();
  }
  const host::EditorPicture picture = editor.snapshot();
  render::writePng(*output, options.screenshot, picture);
  output->sync();
  // As for audio: a stop while the editor drew or the picture was written
  // leaves the target alone.
  stopIfRequested();
  output->commit();
  if (report)
    std::fprintf(report, "editor     %s: %d x %d, help %s\n", options.screenshot.c_str(),
                 picture.width, picture.height, options.helpOverlay ? "shown" : "hidden");
  return EXIT_SUCCESS;
}

// Standard output and error are buffered: a full device or a broken pipe
// shows only once they are flushed, and a run whose report was lost has
// failed like any other write.
int CheckedExit(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0 && std::fflush(stderr) == 0;
  const int error = errno != 0 ? errno : EIO;
  if ((flushed && !std::ferror(stdout) && !std::ferror(stderr)) || status != EXIT_SUCCESS)
    return status;
  if (const int signal = tools::stopSignal())
    tools::dieOf(signal);
  std::fprintf(stderr, "%s: cannot write to standard output: %s\n", kToolName,
               std::strerror(error));
  return kExitFailure;
}

} // namespace

int main(int argc, char** argv) {
  tools::catchStopSignals();
  // A file size limit then fails the write that passes it, which the tool
  // reports and cleans up after, instead of ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    const auto options = render::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      std::fputs(render::usageText().c_str(), stdout);
      return CheckedExit(EXIT_SUCCESS);
    }
    if (options.version) {
      std::printf("%s %s\n", kToolName, kVersionText);
      return CheckedExit(EXIT_SUCCESS);
    }
    return CheckedExit(options.editorScreenshot() ? runScreenshot(options) : run(options));
  } catch (const tools::UsageError& e) {
    std::fprintf(stderr, "%s: %s; see --help\n", kToolName, oneLine(e.what()).c_str());
    return kExitUsage;
  } catch (const std::exception& e) {
    // A write that failed because the reader went away, and a request to
    // stop, both end the tool by the signal once everything is cleaned up,
    // so that a shell stops a loop around it as it would for any command.
    if (const int signal = tools::stopSignal()) {
      std::fprintf(stderr, "%s: stopped by %s\n", kToolName, tools::signalName(signal).c_str());
      std::fflush(nullptr);
      tools::dieOf(signal);
    }
    std::fprintf(stderr, "%s: %s\n", kToolName, oneLine(e.what()).c_str());
    return kExitFailure;
  }
}
