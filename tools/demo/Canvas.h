// An RGB picture to draw plots on: rectangles, smooth lines, pixel text, PNG.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glowrasp::demo {

struct Rgb {
  std::uint8_t r, g, b;
};

struct Point {
  double x, y;
};

class Canvas {
public:
  Canvas(int width, int height, Rgb background);

  int width() const { return FWidth; }
  int height() const { return FHeight; }

  void fillRect(int x, int y, int w, int h, Rgb colour, double alpha = 1.0);
  // An antialiased line through the points, clipped to the given rectangle.
  void polyline(std::span<const Point> points, double thickness, Rgb colour, int clipX, int clipY,
                int clipW, int clipH);
  // Top-left corner at (x, y); every font pixel becomes scale x scale.
  void text(int x, int y, std::string_view text, int scale, Rgb colour);
  static int textWidth(std::string_view text, int scale);

  // Throws std::runtime_error when the file cannot be written.
  void savePng(const std::string& path) const;

private:
  void blend(int x, int y, Rgb colour, double alpha);

  int FWidth;
  int FHeight;
  std::vector<std::uint8_t> FPixels;
};

} // namespace glowrasp::demo
