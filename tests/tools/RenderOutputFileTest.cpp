// glowrasp-render's output file: every byte of it checked, in place only
// once it is whole, written through links, with true lengths on standard
// output that is a file, and never more than its container can describe; a
// FIFO or a device written into, never replaced; a file or folder the user
// may not write refused before the run.
#include "tools/ToolTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace glowrasp::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kFailure = 2;
constexpr int kUsage = 1;

// A launcher that runs the tool with a limit on the size of the files it
// writes; a write past it fails.
std::vector<std::string> withFileSizeLimit(std::uintmax_t bytes) {
  return {"prlimit", "--fsize=" + std::to_string(bytes), "--"};
}

std::uint32_t littleEndian32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

struct LimitCase {
  const char* name;
  const char* extension;
  bool lastByte; // the limit one byte short of the whole file, else half of it
  bool inPlace;  // the output replaces the input
};

void PrintTo(const LimitCase& c, std::ostream* os) {
  *os << c.name;
}

class RenderWriteFailures : public ::testing::TestWithParam<LimitCase> {};

TEST_P(RenderWriteFailures, FailOnceAndLeaveEverythingAsItWas) {
  // FLAC and Ogg write their last pages, and every container its final
  // header, only while the file is closed.
  const auto [name, extension, lastByte, inPlace] = GetParam();
  TempDir dir;
  writeAudio(dir.file("in.wav"),
             stereo(loudNoise(30000, 91), loudNoise(30000, 92), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  const std::string reference = dir.file(std::string("reference.") + extension);
  ASSERT_EQ(runRender(dir, {dir.file("in.wav"), reference}).status, 0);
  const auto size = fs::file_size(reference);
  fs::remove(reference);

  const std::string output =
      inPlace ? dir.file("in.wav") : dir.file(std::string("out.") + extension);
  if (!inPlace)
    writeText(output, "an older file that must survive");
  const std::string before = readText(output);
  const auto names = dir.names();
  const auto run = runRender(dir, {dir.file("in.wav"), output},
                             withFileSizeLimit(lastByte ? size - 1 : size / 2));

  EXPECT_EQ(run.status, kFailure) << run.err;
  EXPECT_EQ(run.err, "glowrasp-render: cannot write '" + output + "': File too large\n");
  EXPECT_EQ(readText(output), before);
  EXPECT_EQ(dir.names(), names) << "temporary files left behind";
}

INSTANTIATE_TEST_SUITE_P(Containers, RenderWriteFailures,
                         ::testing::Values(LimitCase{"FlacLastByte", "flac", true, false},
                                           LimitCase{"FlacHalf", "flac", false, false},
                                           LimitCase{"OggLastByte", "ogg", true, false},
                                           LimitCase{"WavLastByte", "wav", true, false},
                                           LimitCase{"AiffHalf", "aiff", false, false},
                                           LimitCase{"WavReplacingItsInput", "wav", false, true}),
                         [](const auto& test) { return std::string(test.param.name); });

// A 16-bit stereo WAV file whose data (zeros, a hole on disk) takes
// 2.2 GB: as 32-bit floats, 4.4 GB, more than 32-bit lengths describe.
std::string sparseLongInput(const TempDir& dir) {
  constexpr std::uint32_t kDataBytes = 0x84000000u;
  std::string header = "RIFF";
  auto put = [&header](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      header.push_back(static_cast<char>(value >> (8 * i)));
  };
  put(36 + kDataBytes, 4);
  header += "WAVEfmt ";
  put(16, 4);
  put(1, 2);         // PCM
  put(2, 2);         // channels
  put(44100, 4);     // frames per second
  put(44100 * 4, 4); // bytes per second
  put(4, 2);         // bytes per frame
  put(16, 2);        // bits per sample
  header += "data";
  put(kDataBytes, 4);
  const std::string path = dir.file("long.wav");
  writeText(path, header);
  fs::resize_file(path, header.size() + kDataBytes);
  return path;
}

TEST(RenderLongOutputs, AiffThatCannotHoldTheSamplesIsRefusedBeforeWriting) {
  // The limit ends an attempt to write it anyway long before 4 GiB.
  TempDir dir;
  const std::string input = sparseLongInput(dir);
  const auto names = dir.names();
  const auto run = runRender(dir, {input, dir.file("out.aiff"), "--float"},
                             withFileSizeLimit(std::uintmax_t{1} << 20));
  EXPECT_EQ(run.status, kUsage) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("4 GiB an AIFF file can"), std::string::npos) << run.err;
  EXPECT_EQ(dir.names(), names);
}

TEST(RenderLongOutputs, WavThatCannotHoldTheSamplesStartsAsRf64) {
  // On standard output that is a file, what the tool starts to write is
  // there to see when the limit stops it.
  TempDir dir;
  const auto run = runRender(dir, {sparseLongInput(dir), "-", "--float", "-q"},
                             withFileSizeLimit(std::uintmax_t{1} << 20));
  EXPECT_EQ(run.status, kFailure) << run.err;
  EXPECT_EQ(run.err, "glowrasp-render: cannot write 'standard output': File too large\n");
  EXPECT_EQ(run.out.substr(0, 4), "RF64");
}

class RenderToStandardOutputFile : public ::testing::TestWithParam<std::string> {};

TEST_P(RenderToStandardOutputFile, GetsTrueLengthsAfterWhatIsThere) {
  // The shell puts something into the file first where a prefix is given.
  const std::string prefix = GetParam();
  TempDir dir;
  writeAudio(dir.file("in.wav"), stereo(loudNoise(20000, 93), loudNoise(20000, 94)));
  ASSERT_EQ(runRender(dir, {dir.file("in.wav"), dir.file("reference.wav")}).status, 0);
  const auto run = runRender(dir, {dir.file("in.wav"), "-"},
                             {"sh", "-c", R"(printf %s "$0"; exec "$@")", prefix});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_GT(run.out.size(), prefix.size() + 44);
  EXPECT_EQ(run.out.substr(0, prefix.size()), prefix);
  const std::string wav = run.out.substr(prefix.size());
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(littleEndian32(wav, 4), wav.size() - 8) << "the RIFF length";
  writeText(dir.file("out.wav"), wav);
  EXPECT_EQ(readAudio(dir.file("out.wav")).samples, readAudio(dir.file("reference.wav")).samples);
}

INSTANTIATE_TEST_SUITE_P(Prefixes, RenderToStandardOutputFile,
                         ::testing::Values("", "already there\n"),
                         [](const auto& test) { return test.param.empty() ? "Empty" : "Prefix"; });

struct LinkCase {
  const char* name;
  // Links to make, in order: the link's name and what it points to.
  std::vector<std::pair<std::string, std::string>> links;
  const char* target; // the file the output must end up in
  bool targetExists;
};

void PrintTo(const LinkCase& c, std::ostream* os) {
  *os << c.name;
}

class RenderThroughLinks : public ::testing::TestWithParam<LinkCase> {};

TEST_P(RenderThroughLinks, WriteTheLinkedFileAndKeepTheLink) {
  const LinkCase& c = GetParam();
  TempDir dir;
  fs::create_directory(dir.file("takes"));
  writeAudio(dir.file("in.wav"), mono(std::vector<float>(900, 0.5f)));
  if (c.targetExists)
    writeText(dir.file(c.target), "an older take");
  for (const auto& [link, destination] : c.links)
    fs::create_symlink(destination, dir.file(link));

  const auto run = runRender(dir, {dir.file("in.wav"), dir.file("out.wav")});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const auto& [link, destination] : c.links) {
    EXPECT_TRUE(fs::is_symlink(dir.file(link))) << link << " was replaced";
    EXPECT_EQ(fs::read_symlink(dir.file(link)), destination);
  }
  EXPECT_EQ(readAudio(dir.file(c.target)).frames(), 900);
  for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
}

INSTANTIATE_TEST_SUITE_P(
    Links, RenderThroughLinks,
    ::testing::Values(
        LinkCase{"ToAFile", {{"out.wav", "take.wav"}}, "take.wav", true},
        LinkCase{"IntoAFolder", {{"out.wav", "takes/take.wav"}}, "takes/take.wav", true},
        LinkCase{"Dangling", {{"out.wav", "takes/new.wav"}}, "takes/new.wav", false},
        LinkCase{"Chain", {{"mid.wav", "take.wav"}, {"out.wav", "mid.wav"}}, "take.wav", true}),
    [](const auto& test) { return std::string(test.param.name); });

// The arguments that write an output: audio from in.wav, or the editor.
std::vector<std::string> writing(const TempDir& dir, const std::string& output, bool screenshot) {
  if (screenshot)
    return {"--editor-screenshot", output};
  return {dir.file("in.wav"), output};
}

// What a FIFO's writers send until the last of them closes it; what came
// so far where nothing is there once `over` has been set.
std::string drainFifo(int readEnd, const std::atomic<bool>& over) {
  std::string bytes;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    // A FIFO that no writer has opened yet shows nothing, not its end.
    const bool wasOver = over;
    pollfd ready{readEnd, POLLIN, 0};
    if (poll(&ready, 1, 100) == 0) {
      if (wasOver)
        return bytes;
      continue;
    }
    const ssize_t got = read(readEnd, buffer.data(), buffer.size());
    if (got > 0)
      bytes.append(buffer.data(), static_cast<std::size_t>(got));
    else if (got == 0 || (errno != EAGAIN && errno != EINTR))
      return bytes;
  }
}

struct FifoCase {
  const char* name;
  const char* file;
  bool screenshot;
};

void PrintTo(const FifoCase& c, std::ostream* os) {
  *os << c.name;
}

class RenderIntoFifos : public ::testing::TestWithParam<FifoCase> {};

TEST_P(RenderIntoFifos, ReaderGetsTheBytesOfAFileAndTheFifoStays) {
  // More than a pipe holds; FLAC, which a file would have to seek in,
  // arrives whole too. Integer samples: a float WAV file's peak chunk
  // carries the time it was written.
  const auto [name, file, screenshot] = GetParam();
  TempDir dir;
  writeAudio(dir.file("in.wav"),
             stereo(loudNoise(40000, 95), loudNoise(40000, 96), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  const std::string reference = dir.file(std::string("reference-") + file);
  ASSERT_EQ(runRender(dir, writing(dir, reference, screenshot)).status, 0);
  fs::create_directory(dir.file("spool"));
  const std::string fifo = dir.file(file);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const auto names = dir.names();

  // The test's end makes the render's open go ahead, and stays on the FIFO
  // that was there even if the render put a file in its place.
  const int readEnd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(readEnd, 0);
  std::atomic<bool> over{false};
  std::string received;
  std::thread reader([&] { received = drainFifo(readEnd, over); });
  const auto run =
      runRender(dir, writing(dir, fifo, screenshot), {"env", "TMPDIR=" + dir.file("spool")});
  over = true;
  reader.join();
  close(readEnd);

  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(received == readText(reference))
      << received.size() << " bytes instead of " << fs::file_size(reference);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(dir.names(), names);
  EXPECT_TRUE(fs::is_empty(dir.file("spool"))) << "the spool was left behind";
}

INSTANTIATE_TEST_SUITE_P(Outputs, RenderIntoFifos,
                         ::testing::Values(FifoCase{"Wav", "out.wav", false},
                                           FifoCase{"Flac", "out.flac", false},
                                           FifoCase{"Screenshot", "shot.png", true}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(RenderIntoDevices, ADeviceIsWrittenAndStaysADevice) {
  TempDir dir;
  const std::string device = dir.file("null.wav");
  if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "cannot make a device file here: " << std::strerror(errno);
  if (const int probe = open(device.c_str(), O_WRONLY); probe >= 0)
    close(probe);
  else
    GTEST_SKIP() << "device files do not open here: " << std::strerror(errno);
  writeAudio(dir.file("in.wav"), mono(std::vector<float>(900, 0.5f)));
  const auto names = dir.names();
  for (const bool screenshot : {false, true}) {
    const auto run = runRender(dir, writing(dir, device, screenshot));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_character_file(device)) << (screenshot ? "screenshot" : "audio");
    EXPECT_EQ(dir.names(), names);
  }
}

// Root may write any file, so where the tests run as root the tool runs as
// this user for the permission cases.
constexpr uid_t kUnprivileged = 65534;

uid_t toolUser() {
  return geteuid() == 0 ? kUnprivileged : geteuid();
}

// A launcher that runs the tool as toolUser(); nothing where that user
// cannot run it (a build folder closed to others, no setpriv).
std::optional<std::vector<std::string>> unprivilegedLauncher() {
  if (geteuid() != 0)
    return std::vector<std::string>{};
  const std::vector<std::string> launcher{"setpriv", "--reuid=" + std::to_string(kUnprivileged),
                                          "--regid=" + std::to_string(kUnprivileged),
                                          "--clear-groups"};
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);
  if (runRender(dir, {"--editor-screenshot", dir.file("probe.png")}, launcher).status != 0)
    return std::nullopt;
  return launcher;
}

std::vector<std::string> listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct ProtectedCase {
  const char* name;
  fs::perms folder;
  std::optional<fs::perms> file; // an output that exists, with these permissions
  bool othersFile;               // it belongs to root, else to the tool's user
  bool screenshot;
  const char* reason; // after "cannot write 'OUT': "; % stands for the folder
};

void PrintTo(const ProtectedCase& c, std::ostream* os) {
  *os << c.name;
}

class RenderProtectedOutputs : public ::testing::TestWithParam<ProtectedCase> {};

TEST_P(RenderProtectedOutputs, AreRefusedBeforeTheRunAndStayAsTheyWere) {
  const ProtectedCase& c = GetParam();
  static const auto launcher = unprivilegedLauncher();
  if (!launcher)
    GTEST_SKIP() << "user " << kUnprivileged << " cannot run the tool from its build folder";
  if (c.othersFile && geteuid() != 0)
    GTEST_SKIP() << "only root can leave a file of another user in a folder";
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  writeAudio(dir.file("in.wav"), mono(std::vector<float>(900, 0.5f)));
  fs::permissions(dir.file("in.wav"), fs::perms::owner_read | fs::perms::owner_write |
                                          fs::perms::group_read | fs::perms::others_read);
  const std::string folder = dir.file("out");
  fs::create_directory(folder);
  const std::string output = folder + (c.screenshot ? "/shot.png" : "/out.wav");
  if (c.file) {
    writeText(output, "an older file");
    if (!c.othersFile && geteuid() == 0) {
      ASSERT_EQ(chown(output.c_str(), toolUser(), kUnprivileged), 0);
    }
    fs::permissions(output, *c.file);
  }
  fs::permissions(folder, c.folder);
  const auto names = listing(folder);

  const auto run = runRender(dir, writing(dir, output, c.screenshot), *launcher);
  const auto namesAfter = listing(folder);
  fs::permissions(folder, fs::perms::all); // so that the scratch folder can go

  std::string reason = c.reason;
  if (const auto at = reason.find('%'); at != std::string::npos)
    reason.replace(at, 1, folder);
  EXPECT_EQ(run.status, kFailure) << run.err;
  EXPECT_EQ(run.err, "glowrasp-render: cannot write '" + output + "': " + reason + "\n");
  EXPECT_EQ(run.out, "") << "the run went ahead";
  EXPECT_EQ(namesAfter, names);
  if (c.file) {
    EXPECT_EQ(readText(output), "an older file");
    EXPECT_EQ(fs::status(output).permissions(), *c.file);
  }
}

constexpr auto kReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
constexpr auto kReadWrite =
    kReadOnly | fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
constexpr auto kClosedFolder =
    kReadOnly | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
constexpr auto kStickyFolder = fs::perms::all | fs::perms::sticky_bit;

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderProtectedOutputs,
    ::testing::Values(ProtectedCase{"WriteProtectedFile", fs::perms::all, kReadOnly, false, false,
                                    "Permission denied"},
                      ProtectedCase{"WriteProtectedPicture", fs::perms::all, kReadOnly, false, true,
                                    "Permission denied"},
                      ProtectedCase{"ClosedFolder", kClosedFolder, std::nullopt, false, false,
                                    "cannot create files in '%': Permission denied"},
                      ProtectedCase{"WritableFileInClosedFolder", kClosedFolder, kReadWrite, false,
                                    false, "cannot create files in '%': Permission denied"},
                      ProtectedCase{"OthersFileInStickyFolder", kStickyFolder, kReadWrite, true,
                                    false, "only its owner may replace it in '%'"}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace glowrasp::testing
