#include "render/Renderer.h"

#include "common/StopSignals.h"
#include "hostlib/PluginHost.h"
#include "render/Quantizer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace glowrasp::render {
namespace {

using Clock = std::chrono::steady_clock;

// "0:07", "12:30", "1:02:03"
std::string clockText(double seconds) {
  const long total = std::lround(seconds);
  const long hours = total / 3600;
  const long minutes = total / 60 % 60;
  const long secs = total % 60;
  char text[32];
  if (hours > 0)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", hours, minutes, secs);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", minutes, secs);
  return text;
}

class ProgressBar {
public:
  ProgressBar(sf_count_t total, bool enabled)
      : FTotal(total), FEnabled(enabled && total > 0), FStart(Clock::now()) {}
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  ~ProgressBar() {
    if (FDrawn)
      std::fputs("\r\033[K", stderr);
  }

  void update(sf_count_t done) {
    if (!FEnabled)
      return;
    const int percent = static_cast<int>(std::min<sf_count_t>(done * 100 / FTotal, 100));
    const double elapsed = std::chrono::duration<double>(Clock::now() - FStart).count();
    const long second = std::lround(elapsed);
    if (FDrawn && percent == FPercent && second == FSecond)
      return;
    FDrawn = true;
    FPercent = percent;
    FSecond = second;
    const std::string left =
        done > 0 ? clockText(elapsed * static_cast<double>(FTotal - std::min(done, FTotal)) /
                             static_cast<double>(done))
                 : "-:--";
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%  %s elapsed  %s left\033[K",
                 std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(),
                 percent, clockText(elapsed).c_str(), left.c_str());
    std::fflush(stderr);
  }

private:
  sf_count_t FTotal;
  bool FEnabled;
  Clock::time_point FStart;
  bool FDrawn = false;
  int FPercent = -1;
  long FSecond = -1;
};

// Splits interleaved file frames into the plug-in's channel buffers.
void deinterleave(const float* frames, int channels, sf_count_t count,
                  std::array<std::vector<float>, 2>& buffers) {
  for (sf_count_t i = 0; i < count; ++i)
    for (int c = 0; c < channels; ++c)
      buffers[c][i] = frames[i * channels + c];
}

void interleave(const std::array<std::vector<float>, 2>& buffers, sf_count_t from, sf_count_t to,
                int channels, float* frames) {
  for (sf_count_t i = from; i < to; ++i)
    for (int c = 0; c < channels; ++c)
      frames[(i - from) * channels + c] = buffers[c][i];
}

// Float frames to the sink: as they are, or rounded to integers.
class SampleWriter {
public:
  SampleWriter(AudioSink& sink, const RenderPlan& plan, sf_count_t block, int channels)
      : FSink(sink), FChannels(channels) {
    if (plan.bits > 0) {
      FQuantizer.emplace(plan.bits, plan.dither);
      FIntegers.resize(static_cast<std::size_t>(block * channels));
    }
  }

  void write(const float* frames, sf_count_t count, Levels& written) {
    const auto samples = static_cast<std::size_t>(count * FChannels);
    if (!FQuantizer) {
      written.add(frames, samples);
      FSink.writeFloat(frames, count);
      return;
    }
    FQuantizer->convert(frames, FIntegers.data(), samples);
    written.add(FIntegers.data(), samples);
    FSink.writeInt(FIntegers.data(), count);
  }

  void report(RenderResult& result) const {
    if (!FQuantizer)
      return;
    result.clipped = FQuantizer->clipped();
    result.peakBeforeClipping = FQuantizer->peakBeforeClipping();
  }

private:
  AudioSink& FSink;
  int FChannels;
  std::optional<Quantizer> FQuantizer;
  std::vector<std::int32_t> FIntegers;
};

} // namespace

double toDbfs(double linear) {
  return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

void Levels::add(const float* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const double x = data[i];
    peak = std::max(peak, std::abs(x));
    sumOfSquares += x * x;
  }
  samples += count;
}

void Levels::add(const std::int32_t* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    // A power of two: the product is exact, and no library call per sample.
    const double x = static_cast<double>(data[i]) * 0x1p-31;
    peak = std::max(peak, std::abs(x));
    sumOfSquares += x * x;
  }
  samples += count;
}

double Levels::peakDbfs() const {
  return toDbfs(peak);
}

double Levels::rmsDbfs() const {
  return samples ? toDbfs(std::sqrt(sumOfSquares / static_cast<double>(samples))) : toDbfs(0.0);
}

RenderResult renderFile(host::Plugin& plugin, SoundFile& in, AudioSink& out,
                        const RenderPlan& plan) {
  const int channels = in.info().channels;
  const sf_count_t block = plan.block;
  std::vector<float> fileFrames(block * channels);
  std::array<std::vector<float>, 2> ins{std::vector<float>(block), std::vector<float>(block)};
  std::array<std::vector<float>, 2> outs{std::vector<float>(block), std::vector<float>(block)};
  // A mono file goes to both inputs as one buffer: the plug-in's mono route.
  std::array<float*, 2> inputs{ins[0].data(), channels == 1 ? ins[0].data() : ins[1].data()};
  std::array<float*, 2> outputs{outs[0].data(), outs[1].data()};
  SampleWriter writer(out, plan, block, channels);

  RenderResult result;
  ProgressBar progress(in.info().frames, plan.showProgress);
  sf_count_t tailLeft = plan.latency;
  sf_count_t dropLeft = plan.latency;
  for (;;) {
    if (tools::stopRequested())
      throw host::HostError("interrupted");
    sf_count_t count = in.read(fileFrames.data(), block);
    if (count > 0) {
      result.input.add(fileFrames.data(), static_cast<std::size_t>(count * channels));
      deinterleave(fileFrames.data(), channels, count, ins);
      result.frames += count;
    } else {
      // Past the end: silence pushes the delayed tail out of the plug-in.
      count = std::min(block, tailLeft);
      if (count == 0)
        break;
      tailLeft -= count;
      for (int c = 0; c < channels; ++c)
        std::fill_n(ins[c].begin(), count, 0.0f);
    }

    const auto start = Clock::now();
    plugin.processReplacing(inputs.data(), outputs.data(), static_cast<int>(count));
    result.processSeconds += std::chrono::duration<double>(Clock::now() - start).count();

    const sf_count_t dropped = std::min(dropLeft, count);
    dropLeft -= dropped;
    interleave(outs, dropped, count, channels, fileFrames.data());
    writer.write(fileFrames.data(), count - dropped, result.output);
    progress.update(result.frames);
  }
  writer.report(result);
  return result;
}

} // namespace glowrasp::render
