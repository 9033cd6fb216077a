// The renderer's own sample coding, against libsndfile and against itself:
// packed PCM as the library writes and reads it, and the vector rounding
// path against the sample-by-sample one.
#include "ToolTestSupport.h"
#include "render/PlainPcm.h"
#include "render/Quantizer.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using glowrasp::render::packPcm;
using glowrasp::render::plainPcmLayout;
using glowrasp::render::Quantizer;
using glowrasp::render::unpackPcm;
using glowrasp::testing::TempDir;

struct PcmCase {
  const char* name;
  int format;
  int bytes;
  bool bigEndian;
};

void PrintTo(const PcmCase& c, std::ostream* os) {
  *os << c.name;
}

class PlainPcm : public ::testing::TestWithParam<PcmCase> {};

// Integers left-aligned in 32 bits, with the extremes and the neighbours of
// zero, cut to the format's width as the library would store them.
std::vector<std::int32_t> samplesOfWidth(int bytes) {
  std::vector<std::int32_t> values = {std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max(), -1, 0, 1};
  std::mt19937 random(7);
  for (int i = 0; i < 995; ++i)
    values.push_back(static_cast<std::int32_t>(random()));
  const std::uint32_t kept = ~std::uint32_t{0} << (32 - 8 * bytes);
  for (std::int32_t& v : values)
    v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v) & kept);
  return values;
}

TEST_P(PlainPcm, PacksAndUnpacksAsLibsndfileDoes) {
  const PcmCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.file("samples");
  const std::vector<std::int32_t> samples = samplesOfWidth(c.bytes);
  const auto frames = static_cast<sf_count_t>(samples.size() / 2);
  {
    SF_INFO info{};
    info.format = c.format;
    info.channels = 2;
    info.samplerate = 44100;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    ASSERT_EQ(sf_writef_int(file, samples.data(), frames), frames);
    sf_close(file);
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  const auto layout = plainPcmLayout(file, info.format);
  ASSERT_TRUE(layout.has_value());
  EXPECT_EQ(layout->bytes, c.bytes);
  EXPECT_EQ(layout->bigEndian, c.bigEndian);

  std::vector<unsigned char> stored(samples.size() * c.bytes);
  ASSERT_EQ(sf_read_raw(file, stored.data(), static_cast<sf_count_t>(stored.size())),
            static_cast<sf_count_t>(stored.size()));
  std::vector<float> theirs(samples.size());
  sf_seek(file, 0, SEEK_SET);
  ASSERT_EQ(sf_readf_float(file, theirs.data(), frames), frames);
  sf_close(file);

  std::vector<unsigned char> packed(stored.size());
  packPcm(samples.data(), samples.size(), *layout, packed.data());
  EXPECT_EQ(packed, stored);
  std::vector<float> ours(samples.size());
  unpackPcm(stored.data(), stored.size() / c.bytes, *layout, ours.data());
  for (std::size_t i = 0; i < samples.size(); ++i)
    ASSERT_EQ(ours[i], theirs[i]) << "sample " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PlainPcm,
    ::testing::Values(PcmCase{"Wav16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, false},
                      PcmCase{"Wav24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 3, false},
                      PcmCase{"Wav32", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 4, false},
                      PcmCase{"Aiff16", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, true},
                      PcmCase{"Aiff24", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 3, true},
                      PcmCase{"Aiff32", SF_FORMAT_AIFF | SF_FORMAT_PCM_32, 4, true},
                      PcmCase{"AiffLittleEndian24",
                              SF_FORMAT_AIFF | SF_FORMAT_PCM_24 | SF_ENDIAN_LITTLE, 3, false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PlainPcm, LeavesOtherEncodingsToTheLibrary) {
  TempDir dir;
  for (const int format : {SF_FORMAT_WAV | SF_FORMAT_FLOAT, SF_FORMAT_WAV | SF_FORMAT_PCM_U8,
                           SF_FORMAT_FLAC | SF_FORMAT_PCM_16}) {
    const std::string path = dir.file("other");
    SF_INFO info{};
    info.format = format;
    info.channels = 1;
    info.samplerate = 44100;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_FALSE(plainPcmLayout(file, info.format).has_value()) << std::hex << format;
    sf_close(file);
  }
}

// Four samples at a time in vector code, the rest one by one: both ways
// must give the same integers and the same figures, and the dither of a
// sample must depend on its position alone, however the samples are cut
// into calls. Calls of one to nine samples mostly miss the vector code and
// start at every position within a group of four. The second start lies
// just before the positions' high half changes.
TEST(Quantizer, SamplesComeOutTheSameHoweverTheCallsAreCut) {
  for (const std::uint64_t start : {std::uint64_t{0}, (std::uint64_t{1} << 32) - 601}) {
    for (const int bits : {16, 24, 32}) {
      const double step = std::ldexp(1.0, 1 - bits);
      std::vector<float> in = {0.0f,
                               -0.0f,
                               std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity(),
                               1.0f,
                               -1.0f,
                               1e30f,
                               -1e30f,
                               std::numeric_limits<float>::denorm_min()};
      // Halfway between two steps, either side of zero and at the limits.
      for (const double k : {0.5, 1.5, 2.5, -0.5, -1.5, -2.5})
        in.push_back(static_cast<float>(k * step));
      in.push_back(static_cast<float>(1.0 - 0.5 * step));
      in.push_back(static_cast<float>(-1.0 - 0.5 * step));
      std::mt19937 random(11);
      std::uniform_real_distribution<float> level(-1.2f, 1.2f);
      while (in.size() < 1203)
        in.push_back(level(random));

      for (const bool dither : {false, true}) {
        Quantizer whole(bits, dither);
        Quantizer pieces(bits, dither);
        std::vector<std::int32_t> a(in.size());
        std::vector<std::int32_t> b(in.size());
        whole.convert(in.data(), a.data(), in.size(), start, nullptr);
        std::uniform_int_distribution<std::size_t> size(1, 9);
        for (std::size_t i = 0; i < in.size();) {
          const std::size_t n = std::min(size(random), in.size() - i);
          pieces.convert(in.data() + i, b.data() + i, n, start + i, nullptr);
          i += n;
        }
        const auto label = std::to_string(bits) + " bits" + (dither ? ", dither" : "") + ", from " +
                           std::to_string(start);
        EXPECT_EQ(a, b) << label;
        EXPECT_EQ(whole.clipped(), pieces.clipped()) << label;
        EXPECT_EQ(whole.peakBeforeClipping(), pieces.peakBeforeClipping()) << label;
      }
    }
  }
}

} // namespace
