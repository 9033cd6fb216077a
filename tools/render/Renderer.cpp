#include "render/Renderer.h"

#include "common/StopSignals.h"
#include "hostlib/PluginHost.h"
#include "render/FileWorker.h"

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

} // namespace

RenderResult renderFile(host::Plugin& plugin, SoundFile& in, AudioSink& out,
                        const RenderPlan& plan) {
  const int channels = in.info().channels;
  const sf_count_t block = plan.block;
  // The plug-in sees the same sequence of block sizes whatever the chunk.
  const sf_count_t chunk = block * std::max<sf_count_t>(1, kChunkFrames / block);
  FileWorker files(in, out, chunk, OutputFormat{plan.bits, plan.dither}, plan.measureLevels);
  // Past the end: silence pushes the delayed tail out of the plug-in.
  InputChunk silence;
  for (auto& samples : silence.channels)
    samples.resize(static_cast<std::size_t>(chunk));

  RenderResult result;
  ProgressBar progress(in.info().frames, plan.showProgress);
  sf_count_t tailLeft = plan.latency;
  sf_count_t dropLeft = plan.latency;
  bool ended = false;
  for (;;) {
    if (tools::stopRequested())
      throw host::HostError("interrupted");
    InputChunk* input = ended ? &silence : &files.next();
    if (ended || input->frames == 0) {
      ended = true;
      input = &silence;
      silence.frames = std::min(chunk, tailLeft);
      if (silence.frames == 0)
        break;
      tailLeft -= silence.frames;
    }
    const sf_count_t count = input->frames;
    result.frames += ended ? 0 : count;

    OutputChunk& output = files.acquire();
    for (sf_count_t done = 0; done < count; done += block) {
      if (tools::stopRequested())
        throw host::HostError("interrupted");
      const sf_count_t frames = std::min(block, count - done);
      // A mono file goes to both inputs as one buffer: the plug-in's mono route.
      std::array<float*, 2> inputs{input->channels[0].data() + done,
                                   input->channels[channels == 1 ? 0 : 1].data() + done};
      std::array<float*, 2> outputs{output.channels[0].data() + done,
                                    output.channels[1].data() + done};
      const auto start = Clock::now();
      plugin.processReplacing(inputs.data(), outputs.data(), static_cast<int>(frames));
      result.processSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    if (!ended)
      files.release(*input);

    const sf_count_t dropped = std::min(dropLeft, count);
    dropLeft -= dropped;
    files.submit(output, dropped, count);
    progress.update(result.frames);
  }
  const WrittenFigures written = files.finish();
  result.input = files.inputLevels();
  result.output = written.levels;
  result.clipped = written.clipped;
  result.peakBeforeClipping = written.peakBeforeClipping;
  return result;
}

} // namespace glowrasp::render
