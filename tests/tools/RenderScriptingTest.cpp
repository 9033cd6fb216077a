// glowrasp-render as scripts use it: pipes, signals, short options, quiet
// runs, the version, the progress display and replacing a file in place.
#include "tools/RenderProcess.h"
#include "tools/ToolTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <regex>
#include <sys/stat.h>
#include <thread>

namespace glowrasp::testing {
namespace {

const std::vector<std::string> kSettings{"--gain", "9", "--intensity", "60"};

std::vector<std::string> withSettings(std::vector<std::string> files) {
  files.insert(files.end(), kSettings.begin(), kSettings.end());
  return files;
}

// Which ends of a run are pipes: "-" stands for standard input or output.
struct StreamCase {
  const char* name;
  bool inputPipe;
  bool outputPipe;
};

void PrintTo(const StreamCase& c, std::ostream* os) {
  *os << c.name;
}

class RenderStreams : public ::testing::TestWithParam<StreamCase> {};

TEST_P(RenderStreams, PipesCarryTheSameAudioAsFiles) {
  // Longer than a pipe holds, so that reading and writing overlap.
  const auto [name, inputPipe, outputPipe] = GetParam();
  TempDir dir;
  writeAudio(dir.file("in.wav"), stereo(loudNoise(30000, 51), loudNoise(30000, 52)));
  ASSERT_EQ(runRender(dir, withSettings({dir.file("in.wav"), dir.file("reference.wav")})).status,
            0);

  RenderProcess render(
      dir,
      withSettings({inputPipe ? "-" : dir.file("in.wav"), outputPipe ? "-" : dir.file("out.wav")}),
      {inputPipe, outputPipe});
  if (inputPipe)
    render.feed(readText(dir.file("in.wav")));
  const auto run = render.wait();
  ASSERT_EQ(run.status, 0) << run.err;
  if (outputPipe) {
    EXPECT_EQ(run.out.rfind("RIFF", 0), 0u) << "standard output must hold only the WAV stream";
    EXPECT_NE(run.err.find("output     standard output"), std::string::npos) << run.err;
    writeText(dir.file("out.wav"), run.out);
  }
  const Audio reference = readAudio(dir.file("reference.wav"));
  const Audio out = readAudio(dir.file("out.wav"));
  EXPECT_EQ(out.format, reference.format);
  EXPECT_EQ(out.channels, 2);
  EXPECT_EQ(out.samples, reference.samples);
}

INSTANTIATE_TEST_SUITE_P(Ends, RenderStreams,
                         ::testing::Values(StreamCase{"StdinToFile", true, false},
                                           StreamCase{"FileToStdout", false, true},
                                           StreamCase{"StdinToStdout", true, true}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(RenderStreams, IntegerSamplesOnStandardOutput) {
  TempDir dir;
  writeAudio(dir.file("in.wav"), mono(loudNoise(3000, 53), SF_FORMAT_WAV | SF_FORMAT_PCM_24));
  const std::vector<std::string> options{"--no-dither", "-o", "-6"};
  auto fileArgs = std::vector<std::string>{dir.file("in.wav"), dir.file("reference.wav")};
  fileArgs.insert(fileArgs.end(), options.begin(), options.end());
  ASSERT_EQ(runRender(dir, fileArgs).status, 0);
  auto pipeArgs = std::vector<std::string>{dir.file("in.wav"), "-"};
  pipeArgs.insert(pipeArgs.end(), options.begin(), options.end());
  RenderProcess render(dir, pipeArgs, {false, true});
  const auto run = render.wait();
  ASSERT_EQ(run.status, 0) << run.err;
  writeText(dir.file("out.wav"), run.out);
  EXPECT_EQ(readAudio(dir.file("out.wav")).format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  EXPECT_EQ(readIntegers(dir.file("out.wav")), readIntegers(dir.file("reference.wav")));
}

// Waits until the render has opened its output in the folder.
bool outputStarted(const RenderProcess& render, const TempDir& dir) {
  return eventually([&] { return render.writesInto(dir); });
}

class RenderStopSignals : public ::testing::TestWithParam<int> {};

TEST_P(RenderStopSignals, StalledInputDoesNotDelayTheStop) {
  // The producer sends half the file and then neither writes nor closes:
  // the render must stop without the rest, remove its output and die of
  // the signal, as a shell expects of any command.
  TempDir dir;
  const std::string precious = "an older file that must survive";
  writeText(dir.file("out.wav"), precious);
  writeAudio(dir.file("in.wav"), stereo(loudNoise(50000, 61), loudNoise(50000, 62)));
  const std::string bytes = readText(dir.file("in.wav"));
  const auto before = dir.names();

  // No core file from SIGQUIT in the test's folder.
  RenderProcess render(dir, {"-", dir.file("out.wav")}, {true, false}, {"prlimit", "--core=0"});
  render.feed(bytes.substr(0, bytes.size() / 2));
  ASSERT_TRUE(outputStarted(render, dir)) << "the render never started its output";
  kill(render.pid(), GetParam());
  const auto run = render.waitWhileStalled(kStopGuard);

  ASSERT_TRUE(run) << "the render waited for its stalled input instead of stopping";
  EXPECT_EQ(run->signal, GetParam()) << "status " << run->status << ": " << run->err;
  EXPECT_EQ(run->err,
            "glowrasp-render: stopped by SIG" + std::string(sigabbrev_np(GetParam())) + "\n")
      << run->err;
  EXPECT_EQ(readText(dir.file("out.wav")), precious);
  EXPECT_EQ(dir.names(), before) << "temporary files left behind";
}

INSTANTIATE_TEST_SUITE_P(Signals, RenderStopSignals,
                         ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT),
                         [](const auto& test) { return std::string(sigabbrev_np(test.param)); });

TEST(RenderStopSignals, HeaderThatStallsDoesNotDelayTheStop) {
  // The producer stops inside the header, before the render knows its input.
  TempDir dir;
  writeAudio(dir.file("in.wav"), mono(std::vector<float>(1000, 0.5f)));
  RenderProcess render(dir, {"-", dir.file("out.wav")}, {true, false});
  render.feed(readText(dir.file("in.wav")).substr(0, 12));
  eventually([&] { return render.catches(SIGTERM); });
  ASSERT_TRUE(render.catches(SIGTERM));
  kill(render.pid(), SIGTERM);
  const auto run = render.waitWhileStalled(kStopGuard);

  ASSERT_TRUE(run) << "the render waited for the rest of the header instead of stopping";
  EXPECT_EQ(run->signal, SIGTERM) << "status " << run->status << ": " << run->err;
  EXPECT_EQ(dir.names(), std::vector<std::string>{"in.wav"});
}

TEST(RenderStopSignals, ReaderThatStopsReadingDoesNotDelayTheStop) {
  TempDir dir;
  writeAudio(dir.file("in.wav"), stereo(loudNoise(200000, 65), loudNoise(200000, 66)));
  Pipes pipes{false, true};
  pipes.stalledReader = true;
  RenderProcess render(dir, {"-q", dir.file("in.wav"), "-"}, pipes);
  // Once the render is writing, it soon waits for a reader that never reads;
  // the signal may come before or while it waits.
  eventually([&] { return render.bytesUnread() >= 32768; });
  ASSERT_GE(render.bytesUnread(), 32768);
  kill(render.pid(), SIGTERM);
  const auto run = render.waitWhileStalled(kStopGuard);

  ASSERT_TRUE(run) << "the render waited for its reader instead of stopping";
  EXPECT_EQ(run->signal, SIGTERM) << "status " << run->status << ": " << run->err;
  EXPECT_EQ(run->err, "glowrasp-render: stopped by SIGTERM\n") << run->err;
  EXPECT_EQ(dir.names(), std::vector<std::string>{"in.wav"});
}

TEST(RenderStopSignals, FifoWithoutReaderDoesNotDelayTheStop) {
  // A FIFO as the output waits for a reader, as a shell's redirection does;
  // the signal may come before or while it waits.
  TempDir dir;
  writeAudio(dir.file("in.wav"), mono(std::vector<float>(1000, 0.5f)));
  ASSERT_EQ(mkfifo(dir.file("out.wav").c_str(), 0644), 0);
  const auto before = dir.names();
  RenderProcess render(dir, {dir.file("in.wav"), dir.file("out.wav")}, {});
  ASSERT_TRUE(eventually([&] { return render.catches(SIGTERM); }));
  kill(render.pid(), SIGTERM);
  const auto run = render.waitWhileStalled(kStopGuard);

  ASSERT_TRUE(run) << "the render waited for a reader instead of stopping";
  EXPECT_EQ(run->signal, SIGTERM) << "status " << run->status << ": " << run->err;
  EXPECT_EQ(run->err, "glowrasp-render: stopped by SIGTERM\n") << run->err;
  EXPECT_TRUE(std::filesystem::is_fifo(dir.file("out.wav")));
  EXPECT_EQ(dir.names(), before);
}

TEST(RenderStopSignals, ClosedOutputPipeEndsTheRunLikeSigpipe) {
  TempDir dir;
  writeAudio(dir.file("in.wav"), stereo(loudNoise(100000, 63), loudNoise(100000, 64)));
  Pipes pipes{false, true};
  pipes.outputLimit = 4096;
  RenderProcess render(dir, {dir.file("in.wav"), "-"}, pipes);
  const auto run = render.wait();
  EXPECT_EQ(run.signal, SIGPIPE) << "status " << run.status << ": " << run.err;
  EXPECT_NE(run.err.find("glowrasp-render: stopped by SIGPIPE\n"), std::string::npos) << run.err;
  EXPECT_EQ(dir.names(), std::vector<std::string>{"in.wav"});
}

TEST(RenderStopSignals, HangUpIgnoredByNohupStaysIgnored) {
  TempDir dir;
  writeAudio(dir.file("in.wav"), stereo(loudNoise(50000, 67), loudNoise(50000, 68)));
  const std::string bytes = readText(dir.file("in.wav"));
  RenderProcess render(dir, {"-", dir.file("out.wav")}, {true, false}, {"nohup"});
  render.feed(bytes.substr(0, bytes.size() / 2));
  ASSERT_TRUE(outputStarted(render, dir)) << "the render never started its output";
  kill(render.pid(), SIGHUP);
  render.feed(bytes.substr(bytes.size() / 2));
  const auto run = render.wait();

  ASSERT_EQ(run.status, 0) << "signal " << run.signal << ": " << run.err;
  EXPECT_EQ(readAudio(dir.file("out.wav")).frames(), 50000);
}

TEST(RenderStopSignals, HardDeathLeavesNoFileBehind) {
  // SIGKILL gives no chance to clean up: the unfinished output must be a
  // file that never had a name.
  TempDir dir;
  const int nameless = open(dir.path().c_str(), O_TMPFILE | O_RDWR, 0600);
  if (nameless < 0)
    GTEST_SKIP() << "the scratch folder's file system has no nameless files";
  close(nameless);
  writeAudio(dir.file("in.wav"), stereo(loudNoise(50000, 69), loudNoise(50000, 70)));
  const std::string bytes = readText(dir.file("in.wav"));
  const auto before = dir.names();
  RenderProcess render(dir, {"-", dir.file("out.wav")}, {true, false});
  render.feed(bytes.substr(0, bytes.size() / 2));
  ASSERT_TRUE(outputStarted(render, dir)) << "the render never started its output";
  kill(render.pid(), SIGKILL);
  const auto run = render.wait();

  EXPECT_EQ(run.signal, SIGKILL);
  EXPECT_EQ(dir.names(), before) << "a half-written file was left behind";
}

TEST(RenderOptions, ShortOptionsMeanTheLongOnes) {
  TempDir dir;
  writeAudio(dir.file("in.wav"), stereo(loudNoise(3000, 71), loudNoise(3000, 72)));
  const auto longRun = runRender(dir, {dir.file("in.wav"), dir.file("long.wav"), "--gain", "6",
                                       "--intensity=50", "--out-gain", "-3", "--bits", "24"});
  const auto shortRun = runRender(
      dir, {dir.file("in.wav"), dir.file("short.wav"), "-g", "6", "-i50", "-o", "-3", "-b", "24"});
  ASSERT_EQ(longRun.status, 0) << longRun.err;
  ASSERT_EQ(shortRun.status, 0) << shortRun.err;
  EXPECT_EQ(shortRun.out, std::regex_replace(longRun.out, std::regex("long\\.wav"), "short.wav"));
  EXPECT_NE(shortRun.out.find("Signed 24 bit PCM"), std::string::npos) << shortRun.out;
  EXPECT_EQ(readIntegers(dir.file("short.wav")), readIntegers(dir.file("long.wav")));
}

TEST(RenderOptions, QuietPrintsNothingAndStillRenders) {
  TempDir dir;
  writeAudio(dir.file("in.wav"), mono(std::vector<float>(700, 0.25f)));
  const auto run = runRender(dir, {"-q", dir.file("in.wav"), dir.file("out.wav")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(readAudio(dir.file("out.wav")).frames(), 700);
}

TEST(RenderOptions, VersionIsOneLine) {
  TempDir dir;
  const auto run = runRender(dir, {"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(std::regex_match(run.out, std::regex("glowrasp-render [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << run.out;
  EXPECT_EQ(run.err, "");
}

TEST(RenderProgress, ShowsElapsedAndRemainingTimeOnATerminal) {
  // Long enough in audio time for the bar; cheap at a low sample rate.
  TempDir dir;
  writeAudio(dir.file("in.wav"), {1, 8000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, loudNoise(48000, 81)});
  const auto run = runRenderOnTerminal({dir.file("in.wav"), dir.file("out.wav")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::regex_search(
      run.err, std::regex(R"(\] 100%  [0-9]+:[0-9]{2} elapsed  [0-9]+:[0-9]{2} left)")))
      << run.err;
}

TEST(RenderTool, ReplacingItsOwnInputKeepsTheFileMode) {
  TempDir dir;
  const std::string path = dir.file("take.wav");
  writeAudio(path, mono(std::vector<float>(900, 0.5f)));
  constexpr auto kMode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                         std::filesystem::perms::group_read;
  std::filesystem::permissions(path, kMode);

  const auto run = runRender(dir, {path, path, "-i", "0", "-o", "-6.0206"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::filesystem::status(path).permissions(), kMode);
  const Audio out = readAudio(path);
  ASSERT_EQ(out.frames(), 900);
  EXPECT_NEAR(out.samples[450], 0.25f, 1e-4f) << "the file should hold the rendered audio";
  EXPECT_EQ(dir.names(), std::vector<std::string>{"take.wav"});
}

} // namespace
} // namespace glowrasp::testing
