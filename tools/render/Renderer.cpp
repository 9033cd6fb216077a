#include "render/Renderer.h"

#include "hostlib/PluginHost.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace glowrasp::render {
namespace {

double toDbfs(double linear) {
  return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

class ProgressBar {
public:
  ProgressBar(sf_count_t total, bool enabled) : total_(total), enabled_(enabled && total > 0) {}
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  ~ProgressBar() {
    if (drawn_ >= 0)
      std::fputs("\r\033[K", stderr);
  }

  void update(sf_count_t done) {
    if (!enabled_)
      return;
    const int percent = static_cast<int>(std::min<sf_count_t>(done * 100 / total_, 100));
    if (percent == drawn_)
      return;
    drawn_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), percent);
    std::fflush(stderr);
  }

private:
  sf_count_t total_;
  bool enabled_;
  int drawn_ = -1;
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

} // namespace

void Levels::add(const float* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const double x = data[i];
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

RenderResult renderFile(host::Plugin& plugin, SoundFile& in, SoundFile& out, const RenderPlan& plan,
                        const std::atomic<bool>& interrupted) {
  const int channels = in.info().channels;
  const sf_count_t block = plan.block;
  std::vector<float> fileFrames(block * channels);
  std::array<std::vector<float>, 2> ins{std::vector<float>(block), std::vector<float>(block)};
  std::array<std::vector<float>, 2> outs{std::vector<float>(block), std::vector<float>(block)};
  // A mono file goes to both inputs as one buffer: the plug-in's mono route.
  std::array<float*, 2> inputs{ins[0].data(), channels == 1 ? ins[0].data() : ins[1].data()};
  std::array<float*, 2> outputs{outs[0].data(), outs[1].data()};

  RenderResult result;
  ProgressBar progress(in.info().frames, plan.showProgress);
  sf_count_t tailLeft = plan.latency;
  sf_count_t dropLeft = plan.latency;
  for (;;) {
    if (interrupted.load(std::memory_order_relaxed))
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

    const auto start = std::chrono::steady_clock::now();
    plugin.processReplacing(inputs.data(), outputs.data(), static_cast<int>(count));
    result.processSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const sf_count_t dropped = std::min(dropLeft, count);
    dropLeft -= dropped;
    interleave(outs, dropped, count, channels, fileFrames.data());
    const sf_count_t kept = count - dropped;
    result.output.add(fileFrames.data(), static_cast<std::size_t>(kept * channels));
    out.write(fileFrames.data(), kept);
    progress.update(result.frames);
  }
  return result;
}

} // namespace glowrasp::render
