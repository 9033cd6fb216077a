#include "render/Renderer.h"

#include "common/StopSignals.h"
#include "hostlib/PluginHost.h"
#include "render/ChunkWriter.h"

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

// Frames read and written per step: large, so that the file library and the
// system see few calls, and a whole number of plug-in blocks.
constexpr sf_count_t kChunkFrames = 65536;

// Splits interleaved file frames into the plug-in's channel buffers.
void deinterleave(const float* frames, int channels, sf_count_t count,
                  std::array<std::vector<float>, 2>& buffers) {
  if (channels == 1) {
    std::copy_n(frames, count, buffers[0].begin());
    return;
  }
  float* left = buffers[0].data();
  float* right = buffers[1].data();
  for (sf_count_t i = 0; i < count; ++i) {
    left[i] = frames[2 * i];
    right[i] = frames[2 * i + 1];
  }
}

} // namespace

RenderResult renderFile(host::Plugin& plugin, SoundFile& in, AudioSink& out,
                        const RenderPlan& plan) {
  const int channels = in.info().channels;
  const sf_count_t block = plan.block;
  // The plug-in sees the same sequence of block sizes whatever the chunk.
  const sf_count_t chunk = block * std::max<sf_count_t>(1, kChunkFrames / block);
  std::vector<float> fileFrames(static_cast<std::size_t>(chunk * channels));
  std::array<std::vector<float>, 2> ins{std::vector<float>(chunk), std::vector<float>(chunk)};
  ChunkWriter writer(out, channels, chunk, plan.bits, plan.dither);

  RenderResult result;
  ProgressBar progress(in.info().frames, plan.showProgress);
  sf_count_t tailLeft = plan.latency;
  sf_count_t dropLeft = plan.latency;
  bool ended = false;
  for (;;) {
    if (tools::stopRequested())
      throw host::HostError("interrupted");
    sf_count_t count = ended ? 0 : in.read(fileFrames.data(), chunk);
    if (count > 0) {
      result.input.add(fileFrames.data(), static_cast<std::size_t>(count * channels));
      deinterleave(fileFrames.data(), channels, count, ins);
      result.frames += count;
    } else {
      // Past the end: silence pushes the delayed tail out of the plug-in.
      ended = true;
      count = std::min(chunk, tailLeft);
      if (count == 0)
        break;
      tailLeft -= count;
      for (int c = 0; c < channels; ++c)
        std::fill_n(ins[c].begin(), count, 0.0f);
    }

    OutputChunk& outChunk = writer.acquire();
    for (sf_count_t done = 0; done < count; done += block) {
      if (tools::stopRequested())
        throw host::HostError("interrupted");
      const sf_count_t frames = std::min(block, count - done);
      // A mono file goes to both inputs as one buffer: the plug-in's mono route.
      std::array<float*, 2> inputs{ins[0].data() + done,
                                   (channels == 1 ? ins[0] : ins[1]).data() + done};
      std::array<float*, 2> outputs{outChunk.channels[0].data() + done,
                                    outChunk.channels[1].data() + done};
      const auto start = Clock::now();
      plugin.processReplacing(inputs.data(), outputs.data(), static_cast<int>(frames));
      result.processSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    }

    const sf_count_t dropped = std::min(dropLeft, count);
    dropLeft -= dropped;
    writer.submit(outChunk, dropped, count);
    progress.update(result.frames);
  }
  const WrittenFigures written = writer.finish();
  result.output = written.levels;
  result.clipped = written.clipped;
  result.peakBeforeClipping = written.peakBeforeClipping;
  return result;
}

} // namespace glowrasp::render
