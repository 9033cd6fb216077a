// glowrasp-demo-plot: draws the left channel of a dry file against processed
// versions of it, a few milliseconds around the dry file's sharpest attack.
//   glowrasp-demo-plot OUT.png DRY.wav NAME=FILE [NAME=FILE ...]
#include "demo/Canvas.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace glowrasp::demo;

constexpr int kWidth = 1200;
constexpr int kHeight = 650;
constexpr int kPlotX = 84;
constexpr int kPlotY = 64;
constexpr int kPlotW = kWidth - kPlotX - 24;
constexpr int kPlotH = kHeight - kPlotY - 96;
constexpr int kTextScale = 2;

constexpr Rgb kBackground{18, 20, 26};
constexpr Rgb kPlotBackground{25, 28, 36};
constexpr Rgb kGrid{46, 51, 63};
constexpr Rgb kAxis{86, 94, 112};
constexpr Rgb kText{196, 202, 214};
constexpr Rgb kDryColour{205, 208, 218};
constexpr std::array<Rgb, 4> kProcessedColours{
    {{102, 187, 106}, {255, 183, 77}, {239, 83, 80}, {79, 195, 247}}};

// Frames shown before and after the attack.
constexpr int kLeadIn = 80;
constexpr int kShown = 480;

struct Trace {
  std::string name;
  std::vector<float> left;
};

struct Audio {
  std::vector<float> left;
  int sampleRate;
};

Audio readLeftChannel(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file)
    throw std::runtime_error("cannot read '" + path + "': " + sf_strerror(nullptr));
  std::vector<float> frames(static_cast<std::size_t>(info.frames) * info.channels);
  const sf_count_t got = sf_readf_float(file, frames.data(), info.frames);
  sf_close(file);
  Audio audio{{}, info.samplerate};
  for (sf_count_t i = 0; i < got; ++i)
    audio.left.push_back(frames[i * info.channels]);
  return audio;
}

// The frame where the mean level of what follows rises most over the mean
// level of what came before: the sharpest attack. The floor keeps near
// silence from making a quiet tick look like one.
int findAttack(const std::vector<float>& x) {
  constexpr int kBefore = 256;
  constexpr int kAfter = 48;
  constexpr double kFloor = 0.05;
  std::vector<double> sums(x.size() + 1, 0.0);
  for (std::size_t i = 0; i < x.size(); ++i)
    sums[i + 1] = sums[i] + std::abs(x[i]);
  int best = std::min<int>(kLeadIn, static_cast<int>(x.size()));
  double bestScore = -1.0;
  for (int i = std::max(kBefore, kLeadIn); i + kShown - kLeadIn <= static_cast<int>(x.size());
       ++i) {
    const double score = ((sums[i + kAfter] - sums[i]) / kAfter) /
                         ((sums[i] - sums[i - kBefore]) / kBefore + kFloor);
    if (score > bestScore) {
      bestScore = score;
      best = i;
    }
  }
  return best;
}

std::string formatNumber(double value, int decimals) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
  return text.data();
}

void drawGrid(Canvas& canvas, double yMax, double yStep, int first, int sampleRate, int attack) {
  canvas.fillRect(kPlotX, kPlotY, kPlotW, kPlotH, kPlotBackground);
  const auto yPixel = [&](double v) {
    return kPlotY + static_cast<int>(std::lround((yMax - v) / (2 * yMax) * (kPlotH - 1)));
  };
  for (double v = -yMax; v <= yMax + 1e-9; v += yStep) {
    const int y = yPixel(v);
    canvas.fillRect(kPlotX, y, kPlotW, 1, std::abs(v) < 1e-9 ? kAxis : kGrid);
    const std::string label = formatNumber(v, yStep < 0.25 ? 1 : 2);
    canvas.text(kPlotX - 10 - Canvas::textWidth(label, kTextScale), y - 7, label, kTextScale,
                kText);
  }
  const double framesPerMs = sampleRate / 1000.0;
  const double firstMs = (first - attack) / framesPerMs;
  const double lastMs = (first + kShown - 1 - attack) / framesPerMs;
  for (int ms = static_cast<int>(std::ceil(firstMs)); ms <= static_cast<int>(lastMs); ++ms) {
    const double frame = attack + ms * framesPerMs;
    const int x =
        kPlotX + static_cast<int>(std::lround((frame - first) / (kShown - 1) * (kPlotW - 1)));
    canvas.fillRect(x, kPlotY, 1, kPlotH, ms == 0 ? kAxis : kGrid);
    const std::string label = std::to_string(ms) + " MS";
    const int labelW = Canvas::textWidth(label, kTextScale);
    canvas.text(std::min(x - labelW / 2, kWidth - labelW - 6), kPlotY + kPlotH + 12, label,
                kTextScale, kText);
  }
}

void drawTrace(Canvas& canvas, const std::vector<float>& x, int first, double yMax,
               double thickness, Rgb colour) {
  std::vector<Point> points;
  for (int i = 0; i < kShown && first + i < static_cast<int>(x.size()); ++i)
    points.push_back({kPlotX + 0.5 + static_cast<double>(i) / (kShown - 1) * (kPlotW - 1),
                      kPlotY + 0.5 + (yMax - x[first + i]) / (2 * yMax) * (kPlotH - 1)});
  canvas.polyline(points, thickness, colour, kPlotX, kPlotY, kPlotW, kPlotH);
}

// One row under the plot, so that it never hides a trace.
void drawLegend(Canvas& canvas, const std::vector<Trace>& traces) {
  constexpr int kSwatch = 28;
  constexpr int kGap = 36;
  const auto entryWidth = [](const Trace& trace) {
    return kSwatch + 10 + Canvas::textWidth(trace.name, kTextScale);
  };
  int total = -kGap;
  for (const auto& trace : traces)
    total += entryWidth(trace) + kGap;
  int x = kPlotX + (kPlotW - total) / 2;
  const int y = kHeight - 34;
  for (std::size_t i = 0; i < traces.size(); ++i) {
    const Rgb colour = i == 0 ? kDryColour : kProcessedColours[(i - 1) % kProcessedColours.size()];
    canvas.fillRect(x, y + 5, kSwatch, 4, colour);
    canvas.text(x + kSwatch + 10, y, traces[i].name, kTextScale, colour);
    x += entryWidth(traces[i]) + kGap;
  }
}

void plot(const std::string& outPath, const std::vector<Trace>& traces, int sampleRate) {
  const auto& dry = traces.front().left;
  if (static_cast<int>(dry.size()) < kShown)
    throw std::runtime_error("the dry file is shorter than " + std::to_string(kShown) + " frames");
  const int attack = findAttack(dry);
  const int first = attack - kLeadIn;

  float peak = 0.0f;
  for (const auto& trace : traces)
    for (int i = first; i < first + kShown && i < static_cast<int>(trace.left.size()); ++i)
      peak = std::max(peak, std::abs(trace.left[i]));
  const double yStep = peak * 1.1 <= 0.5 ? 0.1 : 0.25;
  const double yMax = std::max(yStep, std::ceil(peak * 1.1 / yStep) * yStep);

  Canvas canvas(kWidth, kHeight, kBackground);
  drawGrid(canvas, yMax, yStep, first, sampleRate, attack);
  drawTrace(canvas, dry, first, yMax, 4.0, kDryColour);
  for (std::size_t i = 1; i < traces.size(); ++i)
    drawTrace(canvas, traces[i].left, first, yMax, 2.0,
              kProcessedColours[(i - 1) % kProcessedColours.size()]);
  drawLegend(canvas, traces);
  canvas.text(kPlotX, 22,
              "DRY VS PROCESSED - LEFT CHANNEL AROUND FRAME " + std::to_string(attack) + " (" +
                  formatNumber(sampleRate / 1000.0, 1) + " KHZ)",
              kTextScale, kText);
  canvas.savePng(outPath);
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: glowrasp-demo-plot OUT.png DRY.wav NAME=FILE [NAME=FILE ...]\n");
    return 2;
  }
  try {
    const Audio dry = readLeftChannel(argv[2]);
    std::vector<Trace> traces{{"DRY", dry.left}};
    for (int i = 3; i < argc; ++i) {
      const std::string arg = argv[i];
      const auto equals = arg.find('=');
      if (equals == std::string::npos || equals == 0)
        throw std::runtime_error("expected NAME=FILE, not '" + arg + "'");
      const Audio processed = readLeftChannel(arg.substr(equals + 1));
      if (processed.sampleRate != dry.sampleRate)
        throw std::runtime_error("'" + arg.substr(equals + 1) +
                                 "' has another sample rate than the dry file");
      traces.push_back({arg.substr(0, equals), processed.left});
    }
    plot(argv[1], traces, dry.sampleRate);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "glowrasp-demo-plot: %s\n", e.what());
    return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}
