#include "render/SoundFiles.h"

#include "common/UsageError.h"
#include "hostlib/PluginHost.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <sys/stat.h>
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

} // namespace

SoundFile::SoundFile(SNDFILE* handle, const SF_INFO& info, std::string path, bool stream,
                     int writtenDescriptor)
    : FHandle(handle), FInfo(info), FPath(std::move(path)), FStream(stream),
      FWrittenDescriptor(writtenDescriptor), FPlainPcm(plainPcmLayout(handle, info.format)) {}

SoundFile::SoundFile(SoundFile&& other) noexcept
    : FHandle(std::exchange(other.FHandle, nullptr)), FInfo(other.FInfo),
      FPath(std::move(other.FPath)), FStream(other.FStream),
      FWrittenDescriptor(other.FWrittenDescriptor), FPlainPcm(other.FPlainPcm),
      FBytes(std::move(other.FBytes)) {}

SoundFile::~SoundFile() {
  if (FHandle)
    sf_close(FHandle);
}

SoundFile SoundFile::openForReading(const std::string& path) {
  struct stat status {};
  if (path == "-") {
    SF_INFO info{};
    SNDFILE* handle = sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE);
    if (!handle)
      throw HostError("cannot read standard input: " + std::string(sf_strerror(nullptr)));
    const bool stream = fstat(STDIN_FILENO, &status) != 0 || !S_ISREG(status.st_mode);
    return {handle, info, path, stream};
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
                                        int channels, int sampleRate) {
  SF_INFO info{};
  info.format = format;
  info.channels = channels;
  info.samplerate = sampleRate;
  SNDFILE* handle = sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
  if (!handle)
    throw HostError("cannot write " + quoted(shownPath) + ": " + sf_strerror(nullptr));
  // Processed audio may exceed full scale; integer formats must clip, not wrap.
  sf_command(handle, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return {handle, info, shownPath, false, descriptor};
}

sf_count_t SoundFile::read(float* frames, sf_count_t count) {
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
  if (sf_writef_float(FHandle, frames, count) != count)
    fail("cannot write");
  startWriteback();
}

void SoundFile::writeInt(const std::int32_t* frames, sf_count_t count) {
  static_assert(sizeof(int) == sizeof(std::int32_t));
  if (!FPlainPcm) {
    if (sf_writef_int(FHandle, frames, count) != count)
      fail("cannot write");
  } else {
    const sf_count_t bytes = count * FPlainPcm->bytes * FInfo.channels;
    FBytes.resize(static_cast<std::size_t>(bytes));
    packPcm(frames, static_cast<std::size_t>(count * FInfo.channels), *FPlainPcm, FBytes.data());
    if (bytes > 0 && sf_write_raw(FHandle, FBytes.data(), bytes) != bytes)
      fail("cannot write");
  }
  startWriteback();
}

void SoundFile::startWriteback() const {
  // The disk starts on what is written while the render goes on, so the
  // sync before the output replaces its target has little left to wait for.
  // Only a hint: where it fails, that sync still does all the work.
  sync_file_range(FWrittenDescriptor, 0, 0, SYNC_FILE_RANGE_WRITE);
}

void SoundFile::close() {
  const int error = sf_close(std::exchange(FHandle, nullptr));
  if (error != SF_ERR_NO_ERROR)
    throw HostError("cannot write " + quoted(FPath) + ": " + sf_error_number(error));
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

std::string describeFormat(int format) {
  return formatName(format & SF_FORMAT_TYPEMASK, SFC_GET_FORMAT_INFO) + ", " +
         formatName(format & SF_FORMAT_SUBMASK, SFC_GET_FORMAT_INFO);
}

PendingFile::PendingFile(std::string target) : FTarget(std::move(target)) {
  struct stat status {};
  const bool exists = stat(FTarget.c_str(), &status) == 0;
  if (exists && S_ISDIR(status.st_mode))
    throw HostError("cannot write " + quoted(FTarget) + ": is a folder");

  const auto slash = FTarget.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : FTarget.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? FTarget : FTarget.substr(slash + 1);
  std::string pattern = folder + "." + name + ".XXXXXX";
  FDescriptor = mkstemp(pattern.data());
  if (FDescriptor < 0)
    throw HostError("cannot write " + quoted(FTarget) + ": " + systemError());
  FTemporary = pattern;

  // mkstemp makes the file private. A replaced file keeps its mode, as it
  // would when overwritten in place; a new one gets what new files get.
  mode_t mode = 0;
  if (exists) {
    mode = status.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(FDescriptor, mode);
}

PendingFile::~PendingFile() {
  if (FDescriptor >= 0)
    ::close(FDescriptor);
  if (!FCommitted)
    unlink(FTemporary.c_str());
}

void PendingFile::commit() {
  if (fsync(FDescriptor) != 0 || ::close(std::exchange(FDescriptor, -1)) != 0)
    throw HostError("cannot write " + quoted(FTarget) + ": " + systemError());
  if (rename(FTemporary.c_str(), FTarget.c_str()) != 0)
    throw HostError("cannot write " + quoted(FTarget) + ": " + systemError());
  FCommitted = true;
}

} // namespace glowrasp::render
