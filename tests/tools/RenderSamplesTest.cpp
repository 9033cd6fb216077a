// glowrasp-render's output samples: integer widths, rounding, dither,
// clipping, and inputs shorter than their headers say.
#include "tools/ToolTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace glowrasp::testing {
namespace {

// What an integer output of the given width must hold for a float result:
// rounded to nearest (halves to even), clipped, left-aligned in 32 bits.
int expectedInteger(float x, int bits) {
  const double scaled = std::nearbyint(static_cast<double>(x) * std::ldexp(1.0, bits - 1));
  const double limit = std::ldexp(1.0, bits - 1);
  const auto value = static_cast<std::int64_t>(std::clamp(scaled, -limit, limit - 1.0));
  return static_cast<int>(value * (std::int64_t{1} << (32 - bits)));
}

bool clips(float x, int bits) {
  const double scaled = std::nearbyint(static_cast<double>(x) * std::ldexp(1.0, bits - 1));
  return scaled < -std::ldexp(1.0, bits - 1) || scaled > std::ldexp(1.0, bits - 1) - 1.0;
}

std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

double peakOf(const std::vector<float>& samples) {
  double peak = 0.0;
  for (const float x : samples)
    peak = std::max(peak, std::abs(static_cast<double>(x)));
  return peak;
}

// Renders in.wav once as float and once as integers of the given width.
struct FloatAndInteger {
  Audio floats;
  std::vector<int> integers;
  RunResult floatRun;
  RunResult integerRun;
};

FloatAndInteger renderBoth(const TempDir& dir, const std::vector<std::string>& settings, int bits,
                           const std::vector<std::string>& integerOptions) {
  auto floatArgs = std::vector<std::string>{dir.file("in.wav"), dir.file("float.wav"), "--float"};
  floatArgs.insert(floatArgs.end(), settings.begin(), settings.end());
  auto intArgs = std::vector<std::string>{dir.file("in.wav"), dir.file("int.wav"), "--bits",
                                          std::to_string(bits)};
  intArgs.insert(intArgs.end(), settings.begin(), settings.end());
  intArgs.insert(intArgs.end(), integerOptions.begin(), integerOptions.end());
  FloatAndInteger result;
  result.floatRun = runRender(dir, floatArgs);
  result.integerRun = runRender(dir, intArgs);
  if (result.floatRun.status == 0)
    result.floats = readAudio(dir.file("float.wav"));
  if (result.integerRun.status == 0)
    result.integers = readIntegers(dir.file("int.wav"));
  return result;
}

class RenderIntegerWidths : public ::testing::TestWithParam<int> {};

TEST_P(RenderIntegerWidths, UnditheredOutputIsTheFloatOutputRounded) {
  // Driven hard, so that the rounding and the clipping both have work.
  TempDir dir;
  writeAudio(dir.file("in.wav"), stereo(loudNoise(6000, 11), loudNoise(6000, 12)));
  const int bits = GetParam();
  const auto both = renderBoth(dir, {"-g", "6", "-i", "70", "-o", "12"}, bits, {"--no-dither"});
  ASSERT_EQ(both.floatRun.status, 0) << both.floatRun.err;
  ASSERT_EQ(both.integerRun.status, 0) << both.integerRun.err;
  ASSERT_EQ(both.integers.size(), both.floats.samples.size());
  int clipped = 0;
  for (std::size_t i = 0; i < both.integers.size(); ++i) {
    ASSERT_EQ(both.integers[i], expectedInteger(both.floats.samples[i], bits)) << "sample " << i;
    clipped += clips(both.floats.samples[i], bits);
  }
  EXPECT_GT(clipped, 0) << "the settings should drive the output past full scale";
}

INSTANTIATE_TEST_SUITE_P(Bits, RenderIntegerWidths, ::testing::Values(16, 24, 32));

struct DitherCase {
  int bits;
  bool dithered;
};

void PrintTo(const DitherCase& c, std::ostream* os) {
  *os << c.bits << " bits";
}

class RenderDither : public ::testing::TestWithParam<DitherCase> {};

TEST_P(RenderDither, ReducedWidthsGetTriangularDitherByDefault) {
  // Half the file is ordinary noise, half a signal of a fifth of a step,
  // which plain rounding turns into silence and dither keeps audible.
  const auto [bits, dithered] = GetParam();
  TempDir dir;
  std::vector<float> x = loudNoise(4000, 21);
  for (float& v : x)
    v *= 0.2f;
  const float step = static_cast<float>(std::ldexp(1.0, 1 - bits));
  for (int i = 0; i < 4000; ++i)
    x.push_back(0.2f * step * (i % 2 ? 1.0f : -1.0f));
  writeAudio(dir.file("in.wav"), mono(x));

  auto args = [&](const char* out) {
    return std::vector<std::string>{dir.file("in.wav"),  dir.file(out), "-i", "0", "-b",
                                    std::to_string(bits)};
  };
  auto plainArgs = args("plain.wav");
  plainArgs.push_back("--no-dither");
  ASSERT_EQ(runRender(dir, args("dithered.wav")).status, 0);
  ASSERT_EQ(runRender(dir, plainArgs).status, 0);
  const auto withDither = readIntegers(dir.file("dithered.wav"));
  const auto plain = readIntegers(dir.file("plain.wav"));
  ASSERT_EQ(withDither.size(), 8000u);
  ASSERT_EQ(plain.size(), 8000u);

  const std::int64_t one = std::int64_t{1} << (32 - bits);
  int differing = 0;
  int audibleQuietPart = 0;
  for (std::size_t i = 0; i < 8000; ++i) {
    const std::int64_t difference = std::int64_t{withDither[i]} - plain[i];
    EXPECT_LE(std::abs(difference), one) << "sample " << i;
    differing += difference != 0;
    if (i >= 4000 + 6) {
      EXPECT_EQ(plain[i], 0) << "sample " << i;
      audibleQuietPart += withDither[i] != 0;
    }
  }
  if (dithered) {
    EXPECT_GT(differing, 2000);
    EXPECT_GT(audibleQuietPart, 1000);
  } else {
    EXPECT_EQ(differing, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, RenderDither,
                         ::testing::Values(DitherCase{16, true}, DitherCase{24, true},
                                           DitherCase{32, false}));

class RenderDitherBlocks : public ::testing::TestWithParam<int> {};

TEST_P(RenderDitherBlocks, SameFileWhateverTheBlockSize) {
  // Longer than one read-and-write chunk, so that chunks of different
  // sizes (a whole number of blocks each) cut the file at different places.
  const int channels = GetParam();
  TempDir dir;
  std::vector<float> x = loudNoise(70001 * channels, 23);
  for (float& v : x)
    v *= 0.1f;
  writeAudio(dir.file("in.wav"), {channels, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, x});
  auto render = [&](const std::string& block) {
    const auto run = runRender(
        dir, {dir.file("in.wav"), dir.file("out.wav"), "-b", "16", "-i", "0", "--block", block});
    EXPECT_EQ(run.status, 0) << run.err;
    return readIntegers(dir.file("out.wav"));
  };
  const auto reference = render("512");
  ASSERT_EQ(reference.size(), x.size());
  for (const char* block : {"500", "1", "7", "333", "4096"})
    EXPECT_EQ(render(block), reference) << "--block " << block;
}

INSTANTIATE_TEST_SUITE_P(Channels, RenderDitherBlocks, ::testing::Values(1, 2),
                         [](const auto& test) { return test.param == 1 ? "Mono" : "Stereo"; });

TEST(RenderClipping, IntegerOutputCountsAndReportsClippedSamples) {
  TempDir dir;
  writeAudio(dir.file("in.wav"), stereo(loudNoise(5000, 31), loudNoise(5000, 32)));
  const auto both =
      renderBoth(dir, {"-i", "0", "--out-gain", "12", "--stats"}, 24, {"--no-dither"});
  ASSERT_EQ(both.floatRun.status, 0) << both.floatRun.err;
  ASSERT_EQ(both.integerRun.status, 0) << both.integerRun.err;

  // A float file holds what goes past full scale: nothing clips there.
  EXPECT_EQ(both.floatRun.err, "");
  EXPECT_EQ(both.floatRun.out.find("clipped"), std::string::npos) << both.floatRun.out;

  const auto clippedCount = std::count_if(both.floats.samples.begin(), both.floats.samples.end(),
                                          [](float x) { return clips(x, 24); });
  ASSERT_GT(clippedCount, 100);
  const double peak = peakOf(both.floats.samples);
  EXPECT_EQ(both.integerRun.err, "glowrasp-render: warning: clipped " +
                                     std::to_string(clippedCount) + " samples (peak " +
                                     formatted("%+.2f", 20.0 * std::log10(peak)) + " dBFS)\n");

  // --stats shows the level that was written, and the count.
  std::int64_t written = 0;
  for (const int v : both.integers)
    written = std::max(written, std::abs(std::int64_t{v}));
  const double writtenPeak = 20.0 * std::log10(std::ldexp(static_cast<double>(written), -31));
  const auto& stats = both.integerRun.out;
  EXPECT_NE(stats.find("out " + formatted("%7.2f", writtenPeak) + " dBFS"), std::string::npos)
      << stats;
  EXPECT_NE(stats.find("clipped    " + std::to_string(clippedCount) + " samples"),
            std::string::npos)
      << stats;
  EXPECT_NE(stats.find("whole run with reading and writing"), std::string::npos) << stats;
}

TEST(RenderClipping, QuietRunKeepsTheWarning) {
  TempDir dir;
  writeAudio(dir.file("in.wav"),
             mono(std::vector<float>(1000, 0.9f), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  const auto run = runRender(dir, {dir.file("in.wav"), dir.file("out.wav"), "-q", "-o", "6"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("glowrasp-render: warning: clipped ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

struct TruncationCase {
  const char* name;
  const char* file;
  int format;
};

void PrintTo(const TruncationCase& c, std::ostream* os) {
  *os << c.name;
}

class RenderTruncated : public ::testing::TestWithParam<TruncationCase> {};

TEST_P(RenderTruncated, RendersWhatIsThereAndSaysSo) {
  TempDir dir;
  const std::string in = dir.file(GetParam().file);
  writeAudio(in, stereo(loudNoise(4000, 41), loudNoise(4000, 42), GetParam().format));
  // The samples come last: cut the file after its first 1000 frames.
  const auto size = std::filesystem::file_size(in);
  const std::uintmax_t frameBytes = 2 * 2;
  std::filesystem::resize_file(in, size - 3000 * frameBytes);

  const auto run = runRender(dir, {in, dir.file("out.wav")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "glowrasp-render: warning: '" + in +
                         "' ends after 1000 of the 4000 frames its header promises; rendered "
                         "what is there\n");
  EXPECT_EQ(readAudio(dir.file("out.wav")).frames(), 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, RenderTruncated,
    ::testing::Values(TruncationCase{"Wav", "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                      TruncationCase{"WavExtensible", "in.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16},
                      TruncationCase{"Aiff", "in.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace glowrasp::testing
