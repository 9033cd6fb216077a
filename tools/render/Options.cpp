#include "render/Options.h"

#include "common/UsageError.h"

#include <array>
#include <charconv>
#include <cmath>
#include <functional>

namespace glowrasp::render {
namespace {

using tools::UsageError;

std::string formatLimit(double value) {
  std::string text = std::to_string(value);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.')
    text.pop_back();
  return text;
}

template <typename T>
std::optional<T> parseWhole(std::string_view text) {
  T value{};
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc{} || ptr != end)
    return std::nullopt;
  return value;
}

double parseInRange(std::string_view option, std::string_view text, host::UnitRange range,
                    std::string_view unit) {
  // from_chars rejects a leading plus sign; a user writing +6 dB means 6.
  const std::string_view digits = text.starts_with('+') ? text.substr(1) : text;
  const auto value = parseWhole<double>(digits);
  if (!value || !std::isfinite(*value))
    throw UsageError(std::string(option) + " needs a number, not '" + std::string(text) + "'");
  if (!range.contains(*value))
    throw UsageError(std::string(option) + " " + std::string(text) + " is out of range (" +
                     formatLimit(range.min) + " to " + formatLimit(range.max) + " " +
                     std::string(unit) + ")");
  return *value;
}

int parseBlock(std::string_view text) {
  const auto value = parseWhole<long>(text);
  if (!value)
    throw UsageError("--block needs a whole number of frames, not '" + std::string(text) + "'");
  if (*value < 1 || *value > kMaxBlock)
    throw UsageError("--block " + std::string(text) + " is out of range (1 to " +
                     std::to_string(kMaxBlock) + " frames)");
  return static_cast<int>(*value);
}

int parseBits(std::string_view text) {
  const auto value = parseWhole<int>(text);
  if (!value || (*value != 16 && *value != 24 && *value != 32))
    throw UsageError("--bits needs 16, 24 or 32, not '" + std::string(text) + "'");
  return *value;
}

// Which of the tool's two jobs an option belongs to.
enum class Mode { Both, Audio, Screenshot };

struct OptionSpec {
  std::string_view name;
  char shortName; // 0: none
  bool takesValue;
  Mode mode;
  std::function<void(RenderOptions&, std::string_view)> apply;
};

const std::vector<OptionSpec>& optionSpecs() {
  static const std::vector<OptionSpec> specs{
      {"--gain", 'g', true, Mode::Both,
       [](RenderOptions& o, std::string_view v) {
         o.settings.gainDb = parseInRange("--gain", v, host::kDecibelRange, "dB");
       }},
      {"--intensity", 'i', true, Mode::Both,
       [](RenderOptions& o, std::string_view v) {
         o.settings.intensityPercent = parseInRange("--intensity", v, host::kPercentRange, "%");
       }},
      {"--out-gain", 'o', true, Mode::Both,
       [](RenderOptions& o, std::string_view v) {
         o.settings.outGainDb = parseInRange("--out-gain", v, host::kDecibelRange, "dB");
       }},
      {"--block", 0, true, Mode::Audio,
       [](RenderOptions& o, std::string_view v) { o.block = parseBlock(v); }},
      {"--plugin", 0, true, Mode::Both,
       [](RenderOptions& o, std::string_view v) {
         if (v.empty())
           throw UsageError("--plugin needs a path");
         o.plugin = v;
       }},
      {"--bits", 'b', true, Mode::Audio,
       [](RenderOptions& o, std::string_view v) { o.bits = parseBits(v); }},
      {"--float", 0, false, Mode::Audio,
       [](RenderOptions& o, std::string_view) { o.floatSamples = true; }},
      {"--no-dither", 0, false, Mode::Audio,
       [](RenderOptions& o, std::string_view) { o.dither = false; }},
      {"--no-latency-compensation", 0, false, Mode::Audio,
       [](RenderOptions& o, std::string_view) { o.compensateLatency = false; }},
      {"--stats", 0, false, Mode::Audio,
       [](RenderOptions& o, std::string_view) { o.stats = true; }},
      {"--quiet", 'q', false, Mode::Both,
       [](RenderOptions& o, std::string_view) { o.quiet = true; }},
      {"--editor-screenshot", 0, true, Mode::Screenshot,
       [](RenderOptions& o, std::string_view v) {
         if (v.empty())
           throw UsageError("--editor-screenshot needs a file name");
         o.screenshot = v;
       }},
      {"--help-overlay", 0, false, Mode::Screenshot,
       [](RenderOptions& o, std::string_view) { o.helpOverlay = true; }},
      {"--scale", 0, true, Mode::Screenshot,
       [](RenderOptions& o, std::string_view v) {
         o.scale = parseInRange("--scale", v, {1, 3}, "times");
       }},
  };
  return specs;
}

const OptionSpec& findSpec(std::string_view name) {
  for (const auto& spec : optionSpecs())
    if (spec.name == name || (name.size() == 2 && spec.shortName && name[1] == spec.shortName))
      return spec;
  throw UsageError("unknown option " + std::string(name));
}

// "--name=value" and "-xvalue" carry their value; otherwise it is the next argument.
struct SplitOption {
  std::string_view name;
  std::optional<std::string_view> value;
};

SplitOption splitOption(std::string_view arg) {
  if (arg.starts_with("--")) {
    const auto equals = arg.find('=');
    if (equals == std::string_view::npos)
      return {arg, std::nullopt};
    return {arg.substr(0, equals), arg.substr(equals + 1)};
  }
  if (arg.size() == 2)
    return {arg, std::nullopt};
  return {arg.substr(0, 2), arg.substr(2)};
}

// Options of the other job are mistakes, not something to ignore quietly.
void checkModes(const RenderOptions& options, const std::vector<const OptionSpec*>& given,
                const std::vector<std::string>& files) {
  const Mode other = options.editorScreenshot() ? Mode::Audio : Mode::Screenshot;
  for (const OptionSpec* spec : given) {
    if (spec->mode != other)
      continue;
    if (other == Mode::Audio)
      throw UsageError(std::string(spec->name) +
                       " is for audio files, not for --editor-screenshot");
    throw UsageError(std::string(spec->name) + " needs --editor-screenshot");
  }
  if (options.editorScreenshot() && !files.empty())
    throw UsageError("--editor-screenshot takes no audio files (unexpected argument '" +
                     files.front() + "')");
}

void checkFiles(RenderOptions& options, const std::vector<std::string>& files) {
  if (files.empty())
    throw UsageError("missing input and output file");
  if (files.size() == 1)
    throw UsageError("missing output file");
  if (files.size() > 2)
    throw UsageError("unexpected argument '" + files[2] + "'");
  if (options.bits && options.floatSamples)
    throw UsageError("--bits and --float exclude each other");
  options.input = files[0];
  options.output = files[1];
}

} // namespace

RenderOptions parseOptions(const std::vector<std::string>& args) {
  RenderOptions options;
  for (const auto& arg : args) {
    if (arg == "--") {
      break;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    } else if (arg == "--version") {
      options.version = true;
      return options;
    }
  }

  std::vector<std::string> files;
  std::vector<const OptionSpec*> given;
  bool onlyFiles = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    // A lone "-" is a file: standard input or output.
    if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
      files.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyFiles = true;
      continue;
    }
    const auto [name, value] = splitOption(arg);
    const OptionSpec& spec = findSpec(name);
    given.push_back(&spec);
    if (!spec.takesValue) {
      if (value)
        throw UsageError(std::string(name) + " takes no value");
      spec.apply(options, {});
    } else if (value) {
      spec.apply(options, *value);
    } else {
      if (i + 1 >= args.size())
        throw UsageError(std::string(name) + " needs a value");
      spec.apply(options, args[++i]);
    }
  }

  checkModes(options, given, files);
  if (!options.editorScreenshot())
    checkFiles(options, files);
  return options;
}

std::string usageText() {
  return R"(usage: glowrasp-render IN OUT [options]
       glowrasp-render --editor-screenshot FILE.png [--help-overlay] [--scale S]
                       [--gain DB] [--intensity PCT] [--out-gain DB] [--plugin PATH]

Processes an audio file through the Kestrune Glowrasp plug-in, loaded and
driven the way a VST 2 host does, or draws the plug-in's editor into a PNG.

  IN                 WAV, AIFF, FLAC, OGG or MP3 file, mono or stereo;
                     - reads standard input (WAV, AIFF or AU there)
  OUT                output file; its extension picks the format:
                     .wav, .aif/.aiff, .flac or .ogg;
                     - writes WAV to standard output (lengths left open
                     on a pipe)
  -g, --gain DB      drive, -48 to 48 (default 0)
  -i, --intensity PCT
                     intensity, 0 to 100 (default 100)
  -o, --out-gain DB  output level, -48 to 48 (default 0)
  --block FRAMES     frames per processing call, 1 to 65536 (default 512)
  --plugin PATH      plug-in binary (default: the one this tool was built or
                     installed with, else $HOME/.vst/KestruneGlowrasp.so)
  -b, --bits 16|24|32
                     write integer samples of that width (WAV, AIFF; FLAC
                     holds 16 and 24)
  --float            write 32-bit float samples (WAV and AIFF only)
                     Without either, the sample format follows the input where
                     OUT can hold it; a compressed input gives 24-bit samples.
  --no-dither        round to 16 or 24 bits without the default TPDF dither
  --no-latency-compensation
                     keep the plug-in's reported delay in the output instead
                     of dropping it so that the output lines up with IN
  --stats            print peak and RMS levels, the clipped samples and the
                     speed of the whole run
  -q, --quiet        print nothing but warnings and errors (and --stats)
  --editor-screenshot FILE.png
                     instead of processing audio, open the plug-in's editor
                     without a window, with the parameter values above, and
                     write what it shows as an RGB PNG
  --help-overlay     with --editor-screenshot: click the editor's question
                     mark first, so the picture shows the help page
  --scale S          with --editor-screenshot: draw the editor S times as
                     large (1 to 3, default 1), as a host with that content
                     scale asks for it
  --version          show the version
  -h, --help         show this text
  --                 the arguments after it are files, even if they begin with -

Mono files are fed to both plug-in inputs and written as mono. An existing
OUT (or FILE.png) is replaced only when the whole file has been written, and
keeps its file mode; an OUT that is a link is written through to its file. An
OUT that is a FIFO or a device is written into at the end and stays as it is.
An OUT the user may not write (a write-protected file, a folder without write
permission) is refused before the run. A .wav OUT past 4 GiB is RF64. Samples
beyond full scale in an integer OUT are clipped and counted in a warning.

Exit status: 0 done, 1 usage error, 2 failure while running. SIGINT, SIGTERM,
SIGHUP, SIGQUIT and a closed output pipe stop the run; the tool cleans up and
dies of the signal (a shell shows 130 for Ctrl-C, 129 hang-up, 141 closed
output pipe). A signal ignored at the start (nohup) stays ignored.
)";
}

} // namespace glowrasp::render
