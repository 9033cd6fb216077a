#include "render/SoundFiles.h"

#include "hostlib/PluginHost.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace glowrasp::render {
namespace {

using host::HostError;

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

} // namespace

SoundFile::SoundFile(SNDFILE* handle, const SF_INFO& info, std::string path)
    : handle_(handle), info_(info), path_(std::move(path)) {}

SoundFile::SoundFile(SoundFile&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), info_(other.info_),
      path_(std::move(other.path_)) {}

SoundFile::~SoundFile() {
  if (handle_)
    sf_close(handle_);
}

SoundFile SoundFile::openForReading(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0)
    throw HostError("cannot read " + quoted(path) + ": " + systemError());
  if (S_ISDIR(status.st_mode))
    throw HostError("cannot read " + quoted(path) + ": is a folder");
  SF_INFO info{};
  SNDFILE* handle = sf_open(path.c_str(), SFM_READ, &info);
  if (!handle)
    throw HostError("cannot read " + quoted(path) + ": " + sf_strerror(nullptr));
  return {handle, info, path};
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
  return {handle, info, shownPath};
}

sf_count_t SoundFile::read(float* frames, sf_count_t count) {
  const sf_count_t got = sf_readf_float(handle_, frames, count);
  if (got < count && sf_error(handle_) != SF_ERR_NO_ERROR)
    fail("cannot read");
  return got;
}

void SoundFile::write(const float* frames, sf_count_t count) {
  if (sf_writef_float(handle_, frames, count) != count)
    fail("cannot write");
}

void SoundFile::close() {
  const int error = sf_close(std::exchange(handle_, nullptr));
  if (error != SF_ERR_NO_ERROR)
    throw HostError("cannot write " + quoted(path_) + ": " + sf_error_number(error));
}

void SoundFile::fail(const std::string& what) const {
  throw HostError(what + " " + quoted(path_) + ": " + sf_strerror(handle_));
}

int containerForPath(const std::string& path) {
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
  throw HostError("unsupported output format for " + quoted(path) + " (" + shown +
                  "; use .wav, .aiff, .flac or .ogg)");
}

int chooseOutputFormat(int inputFormat, int container, bool floatSamples, int channels,
                       int sampleRate) {
  if (container == SF_FORMAT_OGG) {
    if (floatSamples)
      throw HostError("--float needs a .wav or .aiff output file");
    return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
  }
  if (floatSamples && container == SF_FORMAT_FLAC)
    throw HostError("--float needs a .wav or .aiff output file");

  const int subtype = floatSamples ? SF_FORMAT_FLOAT : (inputFormat & SF_FORMAT_SUBMASK);
  // 8-bit samples are signed in some containers and unsigned in others.
  const int counterpart = subtype == SF_FORMAT_PCM_S8   ? SF_FORMAT_PCM_U8
                          : subtype == SF_FORMAT_PCM_U8 ? SF_FORMAT_PCM_S8
                                                        : subtype;
  for (const int candidate : {subtype, counterpart, int{SF_FORMAT_PCM_24}, int{SF_FORMAT_PCM_16}}) {
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

std::string describeFormat(int format) {
  return formatName(format & SF_FORMAT_TYPEMASK, SFC_GET_FORMAT_INFO) + ", " +
         formatName(format & SF_FORMAT_SUBMASK, SFC_GET_FORMAT_INFO);
}

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {
  struct stat status {};
  if (stat(target_.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
    throw HostError("cannot write " + quoted(target_) + ": is a folder");

  const auto slash = target_.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  std::string pattern = folder + "." + name + ".XXXXXX";
  descriptor_ = mkstemp(pattern.data());
  if (descriptor_ < 0)
    throw HostError("cannot write " + quoted(target_) + ": " + systemError());
  temporary_ = pattern;

  // mkstemp makes the file private; give it the permissions a new file gets.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(descriptor_, 0666 & ~mask);
}

PendingFile::~PendingFile() {
  if (descriptor_ >= 0)
    ::close(descriptor_);
  if (!committed_)
    unlink(temporary_.c_str());
}

void PendingFile::commit() {
  if (fsync(descriptor_) != 0 || ::close(std::exchange(descriptor_, -1)) != 0)
    throw HostError("cannot write " + quoted(target_) + ": " + systemError());
  if (rename(temporary_.c_str(), target_.c_str()) != 0)
    throw HostError("cannot write " + quoted(target_) + ": " + systemError());
  committed_ = true;
}

} // namespace glowrasp::render
