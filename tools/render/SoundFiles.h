// Audio files through libsndfile and the choice of the output format.
#pragma once

#include "render/AudioSink.h"
#include "render/DescriptorIo.h"
#include "render/PlainPcm.h"

#include <memory>
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
  // Writes into an already open descriptor of a file, from where it stands
  // now; the descriptor stays open after close(). Every write is checked,
  // those made while closing included. RF64 whose length was not known
  // beforehand becomes WAV again if it stays small.
  static SoundFile createOnDescriptor(int descriptor, const std::string& shownPath, int format,
                                      int channels, int sampleRate, bool lengthKnown);

  SoundFile(SoundFile&& other) noexcept;
  SoundFile& operator=(SoundFile&&) = delete;
  SoundFile(const SoundFile&) = delete;
  ~SoundFile() override;

  const SF_INFO& info() const { return FInfo; }
  const std::string& path() const { return FPath; }
  // Standard input that is a pipe: its length is only what the header says.
  bool stream() const { return FStream; }
  // Interleaved frames; fewer than asked only at the end of the file. On a
  // pipe that stalls, a stop signal ends the wait (host::HostError).
  sf_count_t read(float* frames, sf_count_t count);
  void writeFloat(const float* frames, sf_count_t count) override;
  void writeInt(const std::int32_t* frames, sf_count_t count) override;
  void close() override;
  // After close(), RF64 that stayed small enough to become WAV says so.
  int format() const override { return FInfo.format; }

private:
  SoundFile(SNDFILE* handle, const SF_INFO& info, std::string path, bool stream,
            std::unique_ptr<DescriptorIo> io = nullptr);
  sf_count_t readNow(float* frames, sf_count_t count);
  sf_count_t framesWaiting(sf_count_t wanted) const;
  void checkRoomFor(sf_count_t frames);
  void checkWritten(sf_count_t written, sf_count_t asked);
  // Throws for a write to the descriptor that failed.
  void checkIo() const;
  void startWriteback() const;
  [[noreturn]] void fail(const std::string& what) const;

  SNDFILE* FHandle;
  SF_INFO FInfo;
  std::string FPath;
  bool FStream;
  bool FPipe = false;                // standard input fed by another process
  std::unique_ptr<DescriptorIo> FIo; // only when writing
  // Bytes of one frame as the file stores it; 0 where that varies.
  sf_count_t FFrameBytes;
  sf_count_t FDataBytes = 0;
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

// Bytes a sample of the format takes in the file; 0 where that varies.
int sampleBytes(int format);

// The most sample data a WAV or AIFF file's 32-bit lengths can describe,
// with room left for the header.
constexpr sf_count_t kMaxDataBytes = 0xFFFFFFFFll - 0x10000;

// The output format for a file of about this many frames (nothing where
// the length is not known): WAV becomes RF64 where the samples may not fit
// its lengths (libsndfile turns a small one back into WAV at the end).
// Throws tools::UsageError for an AIFF file that cannot hold them.
int formatForLength(int format, std::optional<sf_count_t> frames, int channels,
                    const std::string& shownPath);

// "WAV (Microsoft), Signed 16 bit PCM"
std::string describeFormat(int format);

} // namespace glowrasp::render
