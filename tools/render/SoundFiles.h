// Audio files through libsndfile, and an output that replaces its target
// only once it is complete.
#pragma once

#include <sndfile.h>
#include <string>

namespace glowrasp::render {

class SoundFile {
public:
  // Throws host::HostError naming the file and the reason.
  static SoundFile openForReading(const std::string& path);
  // Writes into an already open descriptor, which stays open after close().
  static SoundFile createOnDescriptor(int descriptor, const std::string& shownPath, int format,
                                      int channels, int sampleRate);

  SoundFile(SoundFile&& other) noexcept;
  SoundFile& operator=(SoundFile&&) = delete;
  SoundFile(const SoundFile&) = delete;
  ~SoundFile();

  const SF_INFO& info() const { return info_; }
  // Interleaved frames; fewer than asked only at the end of the file.
  sf_count_t read(float* frames, sf_count_t count);
  void write(const float* frames, sf_count_t count);
  // Finishes the file (headers included) and reports a failure to do so.
  void close();

private:
  SoundFile(SNDFILE* handle, const SF_INFO& info, std::string path);
  [[noreturn]] void fail(const std::string& what) const;

  SNDFILE* handle_;
  SF_INFO info_;
  std::string path_;
};

// SF_FORMAT_WAV, _AIFF, _FLAC or _OGG from the file name's extension.
int containerForPath(const std::string& path);

// The full output format: the input's sample format where the container can
// hold it, else 24-bit PCM (16-bit where that fails); Vorbis for Ogg.
int chooseOutputFormat(int inputFormat, int container, bool floatSamples, int channels,
                       int sampleRate);

// "WAV (Microsoft), Signed 16 bit PCM"
std::string describeFormat(int format);

// A hidden temporary file in the target's folder. commit() renames it over
// the target; without a commit it is removed, and the target never changes.
class PendingFile {
public:
  explicit PendingFile(std::string target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  int descriptor() const { return descriptor_; }
  void commit();

private:
  std::string target_;
  std::string temporary_;
  int descriptor_ = -1;
  bool committed_ = false;
};

} // namespace glowrasp::render
