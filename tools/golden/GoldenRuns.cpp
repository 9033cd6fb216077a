#include "golden/GoldenRuns.h"

#include "hostlib/PluginHost.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace glowrasp::golden {
namespace {

constexpr std::array kCases{
    GoldenCase{"replacing", Route::Replacing, {12.0, 80.0, -3.0}},
    GoldenCase{"accumulating", Route::Accumulating, {9.0, 100.0, 4.5}},
    GoldenCase{"mono", Route::Mono, {18.0, 35.0, 0.0}},
};

constexpr std::array kBlockCycle{0, 1, 7, 64, 13, 512, 300, 2, 100, 511};

class Lcg {
public:
  explicit Lcg(std::uint32_t seed) : FState(seed) {}
  // Uniform in [-1, 1), exactly representable as a float.
  float next() {
    FState = FState * 1664525u + 1013904223u;
    const auto centred = static_cast<std::int32_t>(FState >> 8) - (1 << 23);
    return static_cast<float>(centred) * 0x1p-23f;
  }

private:
  std::uint32_t FState;
};

float channelSample(Lcg& noise, int frame, int channel) {
  constexpr int kSweep = 512;
  const int phase = frame % kSweep;
  const int ramp = phase < kSweep / 2 ? phase : kSweep - 1 - phase;
  const float level = 0.02f + 0.43f * static_cast<float>(ramp) / 255.0f;
  const float n = noise.next();
  float x = level * n;

  constexpr int kBurstPeriod = 331;
  constexpr int kBurstLength = 24;
  const int burstFrame = (frame + channel * 97) % kBurstPeriod;
  if (burstFrame < kBurstLength) {
    float amplitude = 4.0f;
    for (int k = 0; k < burstFrame; ++k)
      amplitude *= 0.82f;
    x += n >= 0.0f ? amplitude : -amplitude;
  }
  return x;
}

std::array<std::vector<float>, 2> split(const std::vector<float>& interleaved) {
  std::array<std::vector<float>, 2> channels;
  for (int c = 0; c < kChannels; ++c)
    for (int i = 0; i < kFrames; ++i)
      channels[c].push_back(interleaved[i * kChannels + c]);
  return channels;
}

} // namespace

std::span<const int> goldenBlockCycle() {
  return kBlockCycle;
}

float goldenPriorOutput(int frame, int channel) {
  return static_cast<float>((frame * (channel + 3)) % 29 - 14) / 64.0f;
}

std::span<const GoldenCase> goldenCases() {
  return kCases;
}

std::vector<float> goldenInput() {
  std::array noises{Lcg(0x6c6f7721u), Lcg(0x72617370u)};
  std::vector<float> interleaved;
  interleaved.reserve(kFrames * kChannels);
  for (int i = 0; i < kFrames; ++i)
    for (int c = 0; c < kChannels; ++c)
      interleaved.push_back(channelSample(noises[c], i, c));
  return interleaved;
}

std::vector<float> renderGolden(const std::shared_ptr<const host::PluginLibrary>& library,
                                const GoldenCase& goldenCase) {
  auto ins = split(goldenInput());
  std::array<std::vector<float>, 2> outs;
  for (int c = 0; c < kChannels; ++c) {
    outs[c].resize(kFrames);
    for (int i = 0; i < kFrames; ++i)
      outs[c][i] = goldenCase.route == Route::Accumulating ? goldenPriorOutput(i, c) : 0.0f;
  }

  host::Plugin plugin(library);
  plugin.setSampleRate(kSampleRate);
  plugin.setBlockSize(kMaxBlock);
  plugin.resume();
  host::applySettings(plugin, goldenCase.settings);

  const bool mono = goldenCase.route == Route::Mono;
  for (int done = 0, step = 0; done < kFrames; ++step) {
    const int count = std::min(kBlockCycle[step % kBlockCycle.size()], kFrames - done);
    std::array<float*, 2> inputs{ins[0].data() + done, ins[mono ? 0 : 1].data() + done};
    std::array<float*, 2> outputs{outs[0].data() + done, outs[1].data() + done};
    if (goldenCase.route == Route::Accumulating)
      plugin.process(inputs.data(), outputs.data(), count);
    else
      plugin.processReplacing(inputs.data(), outputs.data(), count);
    done += count;
  }

  std::vector<float> interleaved;
  interleaved.reserve(kFrames * kChannels);
  for (int i = 0; i < kFrames; ++i)
    for (int c = 0; c < kChannels; ++c)
      interleaved.push_back(outs[c][i]);
  return interleaved;
}

std::string goldenFileName(const GoldenCase& goldenCase) {
  return std::string("golden-") + goldenCase.name + ".f32";
}

void writeFloats(const std::string& path, std::span<const float> values) {
  std::ofstream file(path, std::ios::binary);
  for (const float value : values) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
      file.put(static_cast<char>((bits >> shift) & 0xFF));
  }
  if (!file.flush())
    throw host::HostError("cannot write " + path);
}

std::vector<float> readFloats(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    throw host::HostError("cannot read " + path);
  const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file), {}};
  if (bytes.size() % 4 != 0)
    throw host::HostError(path + " is not a whole number of floats");
  std::vector<float> values;
  for (std::size_t i = 0; i < bytes.size(); i += 4) {
    std::uint32_t bits = 0;
    for (int b = 0; b < 4; ++b)
      bits |= static_cast<std::uint32_t>(bytes[i + b]) << (8 * b);
    values.push_back(std::bit_cast<float>(bits));
  }
  return values;
}

} // namespace glowrasp::golden
