#include "toolkit/Resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

double CatmullRom(double x) {
  x = std::abs(x);
  if (x < 1)
    return 1.5 * x * x * x - 2.5 * x * x + 1;
  if (x < 2)
    return -0.5 * x * x * x + 2.5 * x * x - 4 * x + 2;
  return 0;
}

// The taps of one output position: first source index and normalised weights.
struct TTaps {
  int First = 0;
  std::vector<double> Weights;
};

std::vector<TTaps> Taps(int sourceSize, int targetSize) {
  const double ratio = static_cast<double>(sourceSize) / targetSize;
  const double stretch = std::max(ratio, 1.0); // widen the kernel when shrinking
  const double support = 2 * stretch;
  std::vector<TTaps> taps(static_cast<std::size_t>(targetSize));
  for (int i = 0; i < targetSize; ++i) {
    const double centre = (i + 0.5) * ratio;
    const int first = static_cast<int>(std::floor(centre - support));
    const int last = static_cast<int>(std::ceil(centre + support));
    TTaps& t = taps[static_cast<std::size_t>(i)];
    t.First = first;
    double sum = 0;
    for (int j = first; j <= last; ++j) {
      const double w = CatmullRom((j + 0.5 - centre) / stretch);
      t.Weights.push_back(w);
      sum += w;
    }
    for (double& w : t.Weights)
      w /= sum;
  }
  return taps;
}

double Channel(TColor c, int shift) {
  return static_cast<double>(c >> shift & 0xFF);
}

TColor Pack(const double (&rgb)[3]) {
  TColor c = 0;
  for (int k = 0; k < 3; ++k)
    c |= static_cast<TColor>(std::clamp(std::lround(rgb[k]), 0L, 255L)) << (16 - 8 * k);
  return c;
}

} // namespace

TBitmap Resample(const TBitmap& source, const TRect& area, int width, int height) {
  const TRect from = area.Intersect({0, 0, source.Width(), source.Height()});
  if (from.Empty() || width <= 0 || height <= 0)
    return {};
  const std::vector<TTaps> columns = Taps(from.Width(), width);
  const std::vector<TTaps> rows = Taps(from.Height(), height);
  const auto clampX = [&](int x) { return from.Left + std::clamp(x, 0, from.Width() - 1); };
  const auto clampY = [&](int y) { return from.Top + std::clamp(y, 0, from.Height() - 1); };

  // Horizontal pass into floating point, then vertical, rounding once.
  std::vector<double> wide(static_cast<std::size_t>(width) * from.Height() * 3);
  for (int y = 0; y < from.Height(); ++y) {
    const std::uint32_t* row = source.Row(from.Top + y);
    for (int x = 0; x < width; ++x) {
      const TTaps& t = columns[static_cast<std::size_t>(x)];
      double* out = &wide[(static_cast<std::size_t>(y) * width + x) * 3];
      for (std::size_t k = 0; k < t.Weights.size(); ++k) {
        const TColor c = row[clampX(t.First + static_cast<int>(k))];
        for (int ch = 0; ch < 3; ++ch)
          out[ch] += t.Weights[k] * Channel(c, 16 - 8 * ch);
      }
    }
  }
  TBitmap result(width, height);
  for (int y = 0; y < height; ++y) {
    const TTaps& t = rows[static_cast<std::size_t>(y)];
    for (int x = 0; x < width; ++x) {
      double rgb[3] = {0, 0, 0};
      for (std::size_t k = 0; k < t.Weights.size(); ++k) {
        const int sy = clampY(t.First + static_cast<int>(k)) - from.Top;
        const double* in = &wide[(static_cast<std::size_t>(sy) * width + x) * 3];
        for (int ch = 0; ch < 3; ++ch)
          rgb[ch] += t.Weights[k] * in[ch];
      }
      result.SetPixel(x, y, Pack(rgb));
    }
  }
  return result;
}
