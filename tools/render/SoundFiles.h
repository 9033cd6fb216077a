// Audio files through libsndfile, the choice of the output format, and an
// output that replaces its target only once it is complete.
#pragma once

#include "render/AudioSink.h"
#include "render/PlainPcm.h"

#include <optional>
#include <sndfile.h>
#include <string>
#include <vector>

namespace glowrasp::render {

class SoundFile : public AudioSink {
public:
  // "-" reads standard input. Throws host::HostError naming the file and
  // the reason.
  static SoundFile openForReading(const std::string& path);
  // Writes into an already open descriptor, which stays open after close().
  static SoundFile createOnDescriptor(int descriptor, const std::string& shownPath, int format,
                                      int channels, int sampleRate);

  SoundFile(SoundFile&& other) noexcept;
  SoundFile& operator=(SoundFile&&) = delete;
  SoundFile(const SoundFile&) = delete;
  ~SoundFile() override;

  const SF_INFO& info() const { return FInfo; }
  const std::string& path() const { return FPath; }
  // Standard input that is a pipe: its length is only what the header says.
  bool stream() const { return FStream; }
  // Interleaved frames; fewer than asked only at the end of the file.
  sf_count_t read(float* frames, sf_count_t count);
  void writeFloat(const float* frames, sf_count_t count) override;
  void writeInt(const std::int32_t* frames, sf_count_t count) override;
  void close() override;

private:
  SoundFile(SNDFILE* handle, const SF_INFO& info, std::string path, bool stream,
            int writtenDescriptor = -1);
  void startWriteback() const;
  [[noreturn]] void fail(const std::string& what) const;

  SNDFILE* FHandle;
  SF_INFO FInfo;
  std::string FPath;
  bool FStream;
  int FWrittenDescriptor; // -1 when reading
  // Samples this class packs and unpacks itself; none where libsndfile does.
  std::optional<PcmLayout> FPlainPcm;
  std::vector<unsigned char> FBytes;
};

// SF_FORMAT_WAV, _AIFF, _FLAC or _OGG from the file name's extension; WAV
// for "-". Throws tools::UsageError for any other name.
int containerForPath(const std::string& path);

// What the command line asks of the output's samples.
struct SampleRequest {
  std::optional<int> bits;
  bool floatSamples = false;
};

// Throws tools::UsageError when the container cannot hold what is asked.
void checkSampleRequest(int container, const SampleRequest& request);

// The full output format: what was asked, else the input's sample format
// where the container can hold it, else 24-bit PCM (16-bit where that
// fails); Vorbis for Ogg. A compressed input counts as 24-bit.
int chooseOutputFormat(int inputFormat, int container, const SampleRequest& request, int channels,
                       int sampleRate);

// The width of an integer PCM format's samples; 0 for float and compressed.
int integerBits(int format);

// "WAV (Microsoft), Signed 16 bit PCM"
std::string describeFormat(int format);

// A hidden temporary file in the target's folder. commit() renames it over
// the target; without a commit it is removed, and the target never changes.
// A target that exists keeps its file mode.
class PendingFile {
public:
  explicit PendingFile(std::string target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  int descriptor() const { return FDescriptor; }
  void commit();

private:
  std::string FTarget;
  std::string FTemporary;
  int FDescriptor = -1;
  bool FCommitted = false;
};

} // namespace glowrasp::render
