#include "render/SoundFiles.h"

#include "common/StopSignals.h"
#include "common/UsageError.h"
#include "hostlib/PluginHost.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace glowrasp::render {
namespace {

using host::HostError;
using tools::UsageError;

std::string quoted(const std::string& path) {
  return "'" + path + "'";
}

std::string systemError() {
  return std::strerror(errno);
}

std::string extensionOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return {};
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

std::string formatName(int format, int command) {
  SF_FORMAT_INFO info{};
  info.format = format;
  if (sf_command(nullptr, command, &info, sizeof info) != 0 || !info.name)
    return "unknown";
  return info.name;
}

// Sample formats an output may copy from its input; the rest are
// compressed encodings, which a PCM container gets as 24-bit samples.
bool copiedFromInput(int subtype) {
  switch (subtype) {
  case SF_FORMAT_PCM_S8:
  case SF_FORMAT_PCM_U8:
  case SF_FORMAT_PCM_16:
  case SF_FORMAT_PCM_24:
  case SF_FORMAT_PCM_32:
  case SF_FORMAT_FLOAT:
  case SF_FORMAT_DOUBLE:
    return true;
  default:
    return false;
  }
}

std::vector<int> candidateSubtypes(int inputFormat, const SampleRequest& request) {
  if (request.floatSamples)
    return {SF_FORMAT_FLOAT};
  if (request.bits)
    return {*request.bits == 16   ? SF_FORMAT_PCM_16
            : *request.bits == 24 ? SF_FORMAT_PCM_24
                                  : SF_FORMAT_PCM_32};
  const int subtype = inputFormat & SF_FORMAT_SUBMASK;
  if (!copiedFromInput(subtype))
    return {SF_FORMAT_PCM_24, SF_FORMAT_PCM_16};
  // 8-bit samples are signed in some containers and unsigned in others.
  const int counterpart = subtype == SF_FORMAT_PCM_S8   ? SF_FORMAT_PCM_U8
                          : subtype == SF_FORMAT_PCM_U8 ? SF_FORMAT_PCM_S8
                                                        : subtype;
  return {subtype, counterpart, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16};
}

// The largest file whose length the 32-bit RIFF fields hold.
constexpr sf_count_t kMaxWavBytes = 0xFFFFFFFFll;
// How much of a pipe the header may need before libsndfile reads it: its
// reads of the header go on through interruptions, so they must not wait.
constexpr int kHeaderBytes = 16384;
// While a pipe holds only part of a frame, how long to wait before looking
// again; poll() would report it readable at once.
constexpr std::chrono::milliseconds kPartialFramePause{2};

int bytesWaiting(int descriptor) {
  int bytes = 0;
  return ioctl(descriptor, FIONREAD, &bytes) == 0 ? bytes : 0;
}

// Whether the pipe's writer has gone (or the pipe failed): what it holds is
// all there is.
bool writerGone(int descriptor) {
  pollfd ended{descriptor, POLLIN, 0};
  return poll(&ended, 1, 0) < 0 || (ended.revents & ~POLLIN) != 0;
}

[[noreturn]] void interrupted() {
  throw HostError("interrupted");
}

// Waits until a pipe holds the whole header or has ended, or a stop signal.
void waitForHeader(int descriptor) {
  for (;;) {
    if (!tools::waitUntilReady(descriptor, POLLIN))
      interrupted();
    if (writerGone(descriptor) || bytesWaiting(descriptor) >= kHeaderBytes)
      return;
    std::this_thread::sleep_for(kPartialFramePause);
  }
}

} // namespace

SoundFile::SoundFile(SNDFILE* handle, const SF_INFO& info, std::string path, bool stream,
                     std::unique_ptr<DescriptorIo> io)
    : FHandle(handle), FInfo(info), FPath(std::move(path)), FStream(stream), FIo(std::move(io)),
      FFrameBytes(sampleBytes(info.format) * info.channels),
      FPlainPcm(plainPcmLayout(handle, info.format)) {}

SoundFile::SoundFile(SoundFile&& other) noexcept
    : FHandle(std::exchange(other.FHandle, nullptr)), FInfo(other.FInfo),
      FPath(std::move(other.FPath)), FStream(other.FStream), FPipe(other.FPipe),
      FIo(std::move(other.FIo)), FFrameBytes(other.FFrameBytes), FDataBytes(other.FDataBytes),
      FPlainPcm(other.FPlainPcm), FBytes(std::move(other.FBytes)) {}

SoundFile::~SoundFile() {
  if (FHandle)
    sf_close(FHandle);
}

SoundFile SoundFile::openForReading(const std::string& path) {
  struct stat status {};
  if (path == "-") {
    const bool known = fstat(STDIN_FILENO, &status) == 0;
    const bool stream = !known || !S_ISREG(status.st_mode);
    // Another process's output, which may stall; a device is read as it is.
    const bool pipe = known && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
    if (pipe)
      waitForHeader(STDIN_FILENO);
    SF_INFO info{};
    SNDFILE* handle = sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE);
    if (!handle)
      throw HostError("cannot read standard input: " + std::string(sf_strerror(nullptr)));
    SoundFile file{handle, info, path, stream};
    file.FPipe = pipe;
    return file;
  }
  if (stat(path.c_str(), &status) != 0)
    throw HostError("cannot read " + quoted(path) + ": " + systemError());
  if (S_ISDIR(status.st_mode))
    throw HostError("cannot read " + quoted(path) + ": is a folder");
  SF_INFO info{};
  SNDFILE* handle = sf_open(path.c_str(), SFM_READ, &info);
  if (!handle)
    throw HostError("cannot read " + quoted(path) + ": " + sf_strerror(nullptr));
  return {handle, info, path, false};
}

SoundFile SoundFile::createOnDescriptor(int descriptor, const std::string& shownPath, int format,
                                        int channels, int sampleRate, bool lengthKnown) {
  SF_INFO info{};
  info.format = format;
  info.channels = channels;
  info.samplerate = sampleRate;
  auto io = std::make_unique<DescriptorIo>(descriptor);
  SNDFILE* handle = sf_open_virtual(&DescriptorIo::callbacks(), SFM_WRITE, &info, io.get());
  if (!handle) {
    const std::string reason = io->error() != 0 ? std::strerror(io->error()) : sf_strerror(nullptr);
    throw HostError("cannot write " + quoted(shownPath) + ": " + reason);
  }
  // Processed audio may exceed full scale; integer formats must clip, not wrap.
  sf_command(handle, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  // Until it is closed, such a file is WAV with its lengths open.
  if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RF64 && !lengthKnown)
    sf_command(handle, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
  SoundFile file{handle, info, shownPath, false, std::move(io)};
  // Whatever went wrong writing the header shows at once.
  file.checkWritten(0, 0);
  return file;
}

sf_count_t SoundFile::read(float* frames, sf_count_t count) {
  if (!FPipe || FFrameBytes == 0)
    return readNow(frames, count);
  // A pipe: only what it holds is read, so that a stalled producer leaves
  // the wait to us, where a stop signal ends it; libsndfile's own reads
  // would wait through it.
  sf_count_t got = 0;
  while (got < count) {
    const sf_count_t ready = framesWaiting(count - got);
    if (ready == 0)
      return got + readNow(frames + got * FInfo.channels, count - got);
    const sf_count_t read = readNow(frames + got * FInfo.channels, ready);
    got += read;
    if (read < ready)
      break;
  }
  return got;
}

// Frames the pipe holds, up to wanted; waits for one at least. 0 once the
// writer has gone and no whole frame is left.
sf_count_t SoundFile::framesWaiting(sf_count_t wanted) const {
  for (;;) {
    if (!tools::waitUntilReady(STDIN_FILENO, POLLIN))
      interrupted();
    const sf_count_t frames = bytesWaiting(STDIN_FILENO) / FFrameBytes;
    if (frames > 0)
      return std::min(frames, wanted);
    // Readable and empty: the end of a socket.
    if (writerGone(STDIN_FILENO) || bytesWaiting(STDIN_FILENO) == 0)
      return 0;
    std::this_thread::sleep_for(kPartialFramePause);
  }
}

sf_count_t SoundFile::readNow(float* frames, sf_count_t count) {
  if (!FPlainPcm) {
    const sf_count_t got = sf_readf_float(FHandle, frames, count);
    if (got < count && sf_error(FHandle) != SF_ERR_NO_ERROR)
      fail("cannot read");
    return got;
  }
  const sf_count_t frameBytes = FPlainPcm->bytes * FInfo.channels;
  FBytes.resize(static_cast<std::size_t>(count * frameBytes));
  const sf_count_t gotBytes = sf_read_raw(FHandle, FBytes.data(), count * frameBytes);
  if (gotBytes < count * frameBytes && sf_error(FHandle) != SF_ERR_NO_ERROR)
    fail("cannot read");
  // A file cut short mid-frame ends with the last whole frame.
  const sf_count_t got = gotBytes / frameBytes;
  unpackPcm(FBytes.data(), static_cast<std::size_t>(got * FInfo.channels), *FPlainPcm, frames);
  return got;
}

void SoundFile::writeFloat(const float* frames, sf_count_t count) {
  checkRoomFor(count);
  checkWritten(sf_writef_float(FHandle, frames, count), count);
  startWriteback();
}

void SoundFile::writeInt(const std::int32_t* frames, sf_count_t count) {
  static_assert(sizeof(int) == sizeof(std::int32_t));
  checkRoomFor(count);
  if (!FPlainPcm) {
    checkWritten(sf_writef_int(FHandle, frames, count), count);
  } else {
    const sf_count_t bytes = count * FPlainPcm->bytes * FInfo.channels;
    FBytes.resize(static_cast<std::size_t>(bytes));
    packPcm(frames, static_cast<std::size_t>(count * FInfo.channels), *FPlainPcm, FBytes.data());
    checkWritten(bytes > 0 ? sf_write_raw(FHandle, FBytes.data(), bytes) : 0, bytes);
  }
  startWriteback();
}

// A WAV or AIFF file whose lengths would wrap is refused before it does,
// for an output whose length was not known when it was opened.
void SoundFile::checkRoomFor(sf_count_t frames) {
  const int container = FInfo.format & SF_FORMAT_TYPEMASK;
  if (container != SF_FORMAT_WAV && container != SF_FORMAT_AIFF)
    return;
  FDataBytes += frames * FFrameBytes;
  if (FDataBytes > kMaxDataBytes)
    throw HostError("cannot write " + quoted(FPath) + ": the audio passes the 4 GiB that " +
                    (container == SF_FORMAT_AIFF ? "AIFF" : "WAV") +
                    " can hold; write .wav (RF64), .flac or .ogg");
}

void SoundFile::checkWritten(sf_count_t written, sf_count_t asked) {
  // Some encoders keep what they are given and write later, so our own
  // record of the writes counts as much as the library's answer.
  checkIo();
  if (written != asked)
    fail("cannot write");
}

void SoundFile::checkIo() const {
  if (FIo && FIo->error() != 0)
    throw HostError("cannot write " + quoted(FPath) + ": " + std::strerror(FIo->error()));
}

void SoundFile::startWriteback() const {
  // The disk starts on what is written while the render goes on, so the
  // sync before the output replaces its target has little left to wait for.
  // Only a hint: where it fails, that sync still does all the work.
  if (FIo)
    sync_file_range(FIo->descriptor(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void SoundFile::close() {
  const int error = sf_close(std::exchange(FHandle, nullptr));
  checkIo();
  if (error != SF_ERR_NO_ERROR)
    throw HostError("cannot write " + quoted(FPath) + ": " + sf_error_number(error));
  // libsndfile writes a small RF64 file as WAV with the extensible header.
  if (FIo && (FInfo.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RF64 && FIo->length() <= kMaxWavBytes)
    FInfo.format = SF_FORMAT_WAVEX | (FInfo.format & SF_FORMAT_SUBMASK);
}

void SoundFile::fail(const std::string& what) const {
  throw HostError(what + " " + quoted(FPath) + ": " + sf_strerror(FHandle));
}

int containerForPath(const std::string& path) {
  if (path == "-")
    return SF_FORMAT_WAV;
  const std::string ext = extensionOf(path);
  if (ext == "wav")
    return SF_FORMAT_WAV;
  if (ext == "aif" || ext == "aiff" || ext == "aifc")
    return SF_FORMAT_AIFF;
  if (ext == "flac")
    return SF_FORMAT_FLAC;
  if (ext == "ogg" || ext == "oga")
    return SF_FORMAT_OGG;
  const std::string shown = ext.empty() ? "no extension" : "'." + ext + "'";
  throw UsageError("unsupported output format for " + quoted(path) + " (" + shown +
                   "; use .wav, .aiff, .flac or .ogg)");
}

void checkSampleRequest(int container, const SampleRequest& request) {
  const bool pcmContainer = container == SF_FORMAT_WAV || container == SF_FORMAT_AIFF;
  if (request.floatSamples && !pcmContainer)
    throw UsageError("--float needs a .wav or .aiff output file");
  if (request.bits && container == SF_FORMAT_OGG)
    throw UsageError("--bits needs a .wav, .aiff or .flac output file");
  if (request.bits == 32 && !pcmContainer)
    throw UsageError("--bits 32 needs a .wav or .aiff output file (FLAC holds 16 and 24)");
}

int chooseOutputFormat(int inputFormat, int container, const SampleRequest& request, int channels,
                       int sampleRate) {
  if (container == SF_FORMAT_OGG)
    return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
  for (const int candidate : candidateSubtypes(inputFormat, request)) {
    SF_INFO info{};
    info.format = container | candidate;
    info.channels = channels;
    info.samplerate = sampleRate;
    if (sf_format_check(&info))
      return info.format;
  }
  throw HostError("the output format cannot hold " + std::to_string(channels) + " channel(s) at " +
                  std::to_string(sampleRate) + " Hz");
}

int integerBits(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
  case SF_FORMAT_PCM_S8:
  case SF_FORMAT_PCM_U8:
    return 8;
  case SF_FORMAT_PCM_16:
    return 16;
  case SF_FORMAT_PCM_24:
    return 24;
  case SF_FORMAT_PCM_32:
    return 32;
  default:
    return 0;
  }
}

int sampleBytes(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
  case SF_FORMAT_PCM_S8:
  case SF_FORMAT_PCM_U8:
  case SF_FORMAT_ULAW:
  case SF_FORMAT_ALAW:
    return 1;
  case SF_FORMAT_PCM_16:
    return 2;
  case SF_FORMAT_PCM_24:
    return 3;
  case SF_FORMAT_PCM_32:
  case SF_FORMAT_FLOAT:
    return 4;
  case SF_FORMAT_DOUBLE:
    return 8;
  default:
    return 0;
  }
}

int formatForLength(int format, std::optional<sf_count_t> frames, int channels,
                    const std::string& shownPath) {
  const int container = format & SF_FORMAT_TYPEMASK;
  const sf_count_t frameBytes = sampleBytes(format) * channels;
  if (frameBytes == 0)
    return format;
  const bool fits = frames && *frames <= kMaxDataBytes / frameBytes;
  if (container == SF_FORMAT_WAV && !fits)
    return SF_FORMAT_RF64 | (format & SF_FORMAT_SUBMASK);
  if (container == SF_FORMAT_AIFF && frames && !fits)
    throw UsageError(quoted(shownPath) + " would hold " +
                     std::to_string(*frames * frameBytes >> 20) +
                     " MiB of samples, more than the 4 GiB an AIFF file can; write .wav, .flac "
                     "or .ogg");
  return format;
}

std::string describeFormat(int format) {
  return formatName(format & SF_FORMAT_TYPEMASK, SFC_GET_FORMAT_INFO) + ", " +
         formatName(format & SF_FORMAT_SUBMASK, SFC_GET_FORMAT_INFO);
}

} // namespace glowrasp::render
