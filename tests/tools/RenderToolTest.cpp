// glowrasp-render end to end: real files in, the real plug-in, files out.
#include "tools/ToolTestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <regex>

namespace glowrasp::testing {
namespace {

constexpr int kLatency = 6;

sf_count_t loudestFrame(const Audio& audio, int channel) {
  sf_count_t best = 0;
  for (sf_count_t i = 1; i < audio.frames(); ++i)
    if (std::abs(audio.at(i, channel)) > std::abs(audio.at(best, channel)))
      best = i;
  return best;
}

bool contains(const std::string& text, const char* pattern) {
  return std::regex_search(text, std::regex(pattern));
}

int lineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The output must come back exactly as long as the input, and an impulse must
// come back where it went in unless the delay is asked for.
struct AlignmentCase {
  bool compensate;
  sf_count_t expectedFrame;
};

void PrintTo(const AlignmentCase& c, std::ostream* os) {
  *os << (c.compensate ? "compensated" : "not compensated");
}

class RenderAlignment : public ::testing::TestWithParam<AlignmentCase> {};

TEST_P(RenderAlignment, ImpulseLandsWhereExpected) {
  TempDir dir;
  std::vector<float> left(3000, 0.0f);
  std::vector<float> right(3000, 0.0f);
  left[1000] = 1.0f;
  right[1500] = 0.5f;
  writeAudio(dir.file("in.wav"), stereo(left, right));

  std::vector<std::string> args{dir.file("in.wav"), dir.file("out.wav"), "--intensity", "0"};
  if (!GetParam().compensate)
    args.push_back("--no-latency-compensation");
  const auto run = runRender(dir, args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");

  const Audio out = readAudio(dir.file("out.wav"));
  ASSERT_EQ(out.channels, 2);
  ASSERT_EQ(out.frames(), 3000);
  EXPECT_EQ(loudestFrame(out, 0), GetParam().expectedFrame);
  EXPECT_EQ(loudestFrame(out, 1), GetParam().expectedFrame + 500);
  EXPECT_FLOAT_EQ(out.at(GetParam().expectedFrame, 0), 1.0f);
  EXPECT_FLOAT_EQ(out.at(GetParam().expectedFrame + 500, 1), 0.5f);
}

INSTANTIATE_TEST_SUITE_P(Latency, RenderAlignment,
                         ::testing::Values(AlignmentCase{true, 1000},
                                           AlignmentCase{false, 1000 + kLatency}));

// Files shorter than the delay, and empty ones, still come back whole.
class RenderLength : public ::testing::TestWithParam<int> {};

TEST_P(RenderLength, ShortFilesKeepLengthAndContent) {
  TempDir dir;
  std::vector<float> x;
  for (int i = 0; i < GetParam(); ++i)
    x.push_back(0.25f + 0.0625f * static_cast<float>(i % 5));
  writeAudio(dir.file("in.wav"), mono(x));
  const auto run = runRender(dir, {dir.file("in.wav"), dir.file("out.wav"), "--intensity=0"});
  ASSERT_EQ(run.status, 0) << run.err;
  const Audio out = readAudio(dir.file("out.wav"));
  ASSERT_EQ(out.frames(), GetParam());
  for (int i = 0; i < GetParam(); ++i)
    EXPECT_FLOAT_EQ(out.samples[i], x[i]) << "frame " << i;
}

INSTANTIATE_TEST_SUITE_P(Frames, RenderLength, ::testing::Values(0, 3, 6, 7, 13, 600));

TEST(RenderTool, MonoFileTakesTheMonoRouteAndStaysMono) {
  // The plug-in's mono route and its stereo route with equal channels must
  // agree; a mono file that reached the plug-in any other way would not.
  TempDir dir;
  const auto x = loudNoise(2000, 7);
  writeAudio(dir.file("mono.wav"), mono(x));
  writeAudio(dir.file("stereo.wav"), stereo(x, x));
  const std::vector<std::string> settings{"--gain", "12", "--intensity", "80"};
  for (const char* name : {"mono", "stereo"}) {
    std::vector<std::string> args{dir.file(std::string(name) + ".wav"),
                                  dir.file(std::string(name) + "-out.wav")};
    args.insert(args.end(), settings.begin(), settings.end());
    const auto run = runRender(dir, args);
    ASSERT_EQ(run.status, 0) << run.err;
  }
  const Audio monoOut = readAudio(dir.file("mono-out.wav"));
  const Audio stereoOut = readAudio(dir.file("stereo-out.wav"));
  ASSERT_EQ(monoOut.channels, 1);
  ASSERT_EQ(monoOut.frames(), 2000);
  ASSERT_EQ(stereoOut.frames(), 2000);
  int differing = 0;
  for (sf_count_t i = 0; i < 2000; ++i) {
    EXPECT_EQ(monoOut.at(i, 0), stereoOut.at(i, 0)) << "frame " << i;
    EXPECT_EQ(monoOut.at(i, 0), stereoOut.at(i, 1)) << "frame " << i;
    if (i >= kLatency && monoOut.at(i, 0) != x[i])
      ++differing;
  }
  EXPECT_GT(differing, 100) << "the settings should have changed the sound";
}

class RenderBlocks : public ::testing::TestWithParam<int> {};

TEST_P(RenderBlocks, OutputDoesNotDependOnBlockSize) {
  // Block sizes below, at and above the delay exercise the dropped head and
  // the flushed tail crossing block boundaries.
  TempDir dir;
  writeAudio(dir.file("in.wav"), stereo(loudNoise(3001, 1), loudNoise(3001, 2)));
  const std::vector<std::string> common{dir.file("in.wav"), "--gain", "9", "--intensity", "60"};
  auto reference = common;
  reference.insert(reference.begin() + 1, dir.file("reference.wav"));
  auto blocked = common;
  blocked.insert(blocked.begin() + 1, dir.file("blocked.wav"));
  blocked.insert(blocked.end(), {"--block", std::to_string(GetParam())});
  ASSERT_EQ(runRender(dir, reference).status, 0);
  const auto run = runRender(dir, blocked);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readAudio(dir.file("blocked.wav")).samples,
            readAudio(dir.file("reference.wav")).samples);
}

INSTANTIATE_TEST_SUITE_P(Frames, RenderBlocks, ::testing::Values(1, 5, 6, 7, 4096, 65536));

struct FormatCase {
  const char* name;
  int inputFormat;
  int channels;
  const char* outputName;
  std::vector<std::string> options;
  int expectedFormat;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << c.name;
}

std::string inputNameFor(int format) {
  switch (format & SF_FORMAT_TYPEMASK) {
  case SF_FORMAT_FLAC:
    return "in.flac";
  case SF_FORMAT_AIFF:
    return "in.aiff";
  case SF_FORMAT_OGG:
    return "in.ogg";
  case SF_FORMAT_MPEG:
    return "in.mp3";
  default:
    return "in.wav";
  }
}

class RenderFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(RenderFormats, OutputFormatFollowsExtensionInputAndRequest) {
  const FormatCase& c = GetParam();
  TempDir dir;
  const auto x = loudNoise(4000, 3);
  std::vector<float> quiet;
  for (const float v : x)
    // Lossy codecs overshoot; this leaves them room below full scale.
    quiet.push_back(std::clamp(v, -0.5f, 0.5f));
  const std::string inName = inputNameFor(c.inputFormat);
  writeAudio(dir.file(inName),
             c.channels == 1 ? mono(quiet, c.inputFormat) : stereo(quiet, quiet, c.inputFormat));
  std::vector<std::string> args{dir.file(inName), dir.file(c.outputName)};
  args.insert(args.end(), c.options.begin(), c.options.end());
  const auto run = runRender(dir, args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const Audio out = readAudio(dir.file(c.outputName));
  EXPECT_EQ(out.format, c.expectedFormat) << std::hex << out.format;
  EXPECT_EQ(out.channels, c.channels);
  EXPECT_EQ(out.frames(), 4000);
}

constexpr int kMp3 = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
constexpr int kVorbis = SF_FORMAT_OGG | SF_FORMAT_VORBIS;

INSTANTIATE_TEST_SUITE_P(
    Files, RenderFormats,
    ::testing::Values(
        FormatCase{"Wav16Mono",
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                   1,
                   "out.wav",
                   {},
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        FormatCase{"Wav16ToFloat",
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                   2,
                   "out.wav",
                   {"--float"},
                   SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        FormatCase{"Wav24ToFlac",
                   SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                   2,
                   "out.flac",
                   {},
                   SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        FormatCase{"FloatToFlacFallsBackTo24Bit",
                   SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                   2,
                   "out.flac",
                   {},
                   SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        FormatCase{"Aiff16",
                   SF_FORMAT_AIFF | SF_FORMAT_PCM_16,
                   2,
                   "out.aiff",
                   {},
                   SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        FormatCase{"FlacToOgg", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, "out.ogg", {}, kVorbis},
        FormatCase{"Mp3ToWavIs24Bit", kMp3, 2, "out.wav", {}, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        FormatCase{
            "OggToAiffIs24Bit", kVorbis, 1, "out.aiff", {}, SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
        FormatCase{
            "OggToFlacIs24Bit", kVorbis, 2, "out.flac", {}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        FormatCase{"Mp3ToFloat", kMp3, 1, "out.wav", {"--float"}, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        FormatCase{"FloatToBits16",
                   SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                   2,
                   "out.wav",
                   {"--bits", "16"},
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        FormatCase{"Wav16ToBits32",
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                   1,
                   "out.aiff",
                   {"-b", "32"},
                   SF_FORMAT_AIFF | SF_FORMAT_PCM_32},
        FormatCase{"Mp3ToFlacBits16",
                   kMp3,
                   2,
                   "out.flac",
                   {"--bits=16"},
                   SF_FORMAT_FLAC | SF_FORMAT_PCM_16}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(RenderTool, ShowsThePluginsOwnTexts) {
  TempDir dir;
  writeAudio(dir.file("in.wav"), mono(std::vector<float>(100, 0.1f)));
  const auto run = runRender(dir, {dir.file("in.wav"), dir.file("out.wav"), "--gain", "+12",
                                   "--intensity", "80", "--out-gain", "-3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, R"(\[0\] Gain +12\.0 dB)")) << run.out;
  EXPECT_TRUE(contains(run.out, R"(\[1\] Intensity +80\.0 %)")) << run.out;
  EXPECT_TRUE(contains(run.out, R"(\[2\] Out Gain +-3\.0 dB)")) << run.out;
  EXPECT_TRUE(contains(run.out, "latency +6 frames, compensated")) << run.out;
}

TEST(RenderTool, HelpExitsCleanly) {
  TempDir dir;
  const auto run = runRender(dir, {"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("usage: glowrasp-render IN OUT", 0), 0u) << run.out;
  EXPECT_EQ(run.err, "");
}

// A report nobody could read is a failed run, as with other tools of the
// system: standard output on a full device.
TEST(RenderTool, AReportThatCannotBeWrittenFailsTheRun) {
  TempDir dir;
  writeAudio(dir.file("in.wav"), mono(std::vector<float>(100, 0.1f)));
  const std::vector<std::string> toFullDevice{"sh", "-c", "exec \"$@\" >/dev/full", "sh"};
  const std::vector<std::vector<std::string>> calls{
      {"--help"}, {"--version"}, {dir.file("in.wav"), dir.file("out.wav")}};
  for (const auto& args : calls) {
    SCOPED_TRACE(args.front());
    const auto run = runRender(dir, args, toFullDevice);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(
        run.err, "glowrasp-render: cannot write to standard output: No space left on device"))
        << run.err;
  }
}

TEST(RenderTool, SuccessReplacesAnExistingOutputAndLeavesNothingElse) {
  TempDir dir;
  writeAudio(dir.file("in.wav"), mono(std::vector<float>(500, 0.2f)));
  writeText(dir.file("out.wav"), "an older file");
  const auto run = runRender(dir, {dir.file("in.wav"), dir.file("out.wav")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readAudio(dir.file("out.wav")).frames(), 500);
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

// A path of a loaded library that has no VST entry point.
std::string libraryWithoutEntry() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&sf_open), &info);
  return info.dli_fname ? info.dli_fname : "";
}

// Exit status 1: the command line cannot run; 2: the run failed.
constexpr int kUsage = 1;
constexpr int kFailure = 2;

struct ErrorCase {
  const char* name;
  // Given the scratch folder, prepares inputs and returns the arguments.
  std::function<std::vector<std::string>(const TempDir&)> prepare;
  int status;
  const char* output = "out.wav";
};

std::vector<std::string> withInput(const TempDir& dir, std::vector<std::string> extra,
                                   const char* output = "out.wav") {
  writeAudio(dir.file("in.wav"), mono(std::vector<float>(300, 0.5f)));
  std::vector<std::string> args{dir.file("in.wav"), dir.file(output)};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

void PrintTo(const ErrorCase& c, std::ostream* os) {
  *os << c.name;
}

class RenderErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(RenderErrors, FailWithOneLineAndLeaveTheOutputAlone) {
  TempDir dir;
  const std::string precious = "an older file that must survive";
  const std::string output = dir.file(GetParam().output);
  writeText(output, precious);
  const auto args = GetParam().prepare(dir);
  const auto before = dir.names();

  const auto run = runRender(dir, args);
  EXPECT_EQ(run.status, GetParam().status) << run.err;
  EXPECT_EQ(lineCount(run.err), 1) << run.err;
  EXPECT_EQ(run.err.rfind("glowrasp-render: ", 0), 0u) << run.err;
  EXPECT_EQ(readText(output), precious);
  EXPECT_EQ(dir.names(), before) << "temporary files left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderErrors,
    ::testing::Values(
        ErrorCase{"MissingInput",
                  [](const TempDir& d) {
                    return std::vector<std::string>{d.file("missing.wav"), d.file("out.wav")};
                  },
                  kFailure},
        ErrorCase{"UnreadableInput",
                  [](const TempDir& d) {
                    writeText(d.file("noise.wav"), std::string(4096, 'x'));
                    return std::vector<std::string>{d.file("noise.wav"), d.file("out.wav")};
                  },
                  kFailure},
        ErrorCase{"ThreeChannels",
                  [](const TempDir& d) {
                    writeAudio(d.file("three.wav"), {3, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                                                     std::vector<float>(300, 0.1f)});
                    return std::vector<std::string>{d.file("three.wav"), d.file("out.wav")};
                  },
                  kFailure},
        ErrorCase{"MissingOutputName",
                  [](const TempDir& d) {
                    auto args = withInput(d, {});
                    args.pop_back();
                    return args;
                  },
                  kUsage},
        ErrorCase{"GainOutOfRange",
                  [](const TempDir& d) {
                    return withInput(d, {"--gain", "60"});
                  },
                  kUsage},
        ErrorCase{"IntensityOutOfRange",
                  [](const TempDir& d) {
                    return withInput(d, {"-i", "-1"});
                  },
                  kUsage},
        ErrorCase{"GainNotANumber",
                  [](const TempDir& d) {
                    return withInput(d, {"--out-gain", "loud"});
                  },
                  kUsage},
        ErrorCase{"BlockZero",
                  [](const TempDir& d) {
                    return withInput(d, {"--block", "0"});
                  },
                  kUsage},
        ErrorCase{"BlockTooLarge",
                  [](const TempDir& d) {
                    return withInput(d, {"--block", "65537"});
                  },
                  kUsage},
        ErrorCase{"UnknownOption", [](const TempDir& d) { return withInput(d, {"--louder"}); },
                  kUsage},
        ErrorCase{"UnknownShortOption", [](const TempDir& d) { return withInput(d, {"-x"}); },
                  kUsage},
        ErrorCase{"BitsNotAWidth",
                  [](const TempDir& d) {
                    return withInput(d, {"-b", "20"});
                  },
                  kUsage},
        ErrorCase{"BitsAndFloat",
                  [](const TempDir& d) {
                    return withInput(d, {"--bits", "24", "--float"});
                  },
                  kUsage},
        ErrorCase{"MissingPlugin",
                  [](const TempDir& d) {
                    return withInput(d, {"--plugin", d.file("nowhere.so")});
                  },
                  kFailure},
        ErrorCase{"PluginNotALibrary",
                  [](const TempDir& d) {
                    writeText(d.file("fake.so"), "not a library");
                    return withInput(d, {"--plugin", d.file("fake.so")});
                  },
                  kFailure},
        ErrorCase{"LibraryWithoutEntryPoint",
                  [](const TempDir& d) {
                    return withInput(d, {"--plugin", libraryWithoutEntry()});
                  },
                  kFailure},
        ErrorCase{"UnsupportedOutputFormat",
                  [](const TempDir& d) { return withInput(d, {}, "out.mp3"); }, kUsage, "out.mp3"},
        ErrorCase{"FloatIntoFlac",
                  [](const TempDir& d) { return withInput(d, {"--float"}, "out.flac"); }, kUsage,
                  "out.flac"},
        ErrorCase{"Bits32IntoFlac",
                  [](const TempDir& d) {
                    return withInput(d, {"-b", "32"}, "out.flac");
                  },
                  kUsage, "out.flac"},
        ErrorCase{"BitsIntoOgg",
                  [](const TempDir& d) {
                    return withInput(d, {"-b", "16"}, "out.ogg");
                  },
                  kUsage, "out.ogg"}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace glowrasp::testing
