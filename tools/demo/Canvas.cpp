#include "demo/Canvas.h"

#include "demo/PixelFont.h"

#include <algorithm>
#include <cmath>
#include <png.h>
#include <stdexcept>

namespace glowrasp::demo {
namespace {

double distanceToSegment(Point p, Point a, Point b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double lengthSquared = dx * dx + dy * dy;
  const double t = lengthSquared > 0.0
                       ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared, 0.0, 1.0)
                       : 0.0;
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

} // namespace

Canvas::Canvas(int width, int height, Rgb background)
    : FWidth(width), FHeight(height), FPixels(static_cast<std::size_t>(width) * height * 3) {
  fillRect(0, 0, width, height, background);
}

void Canvas::blend(int x, int y, Rgb colour, double alpha) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight || alpha <= 0.0)
    return;
  std::uint8_t* pixel = &FPixels[(static_cast<std::size_t>(y) * FWidth + x) * 3];
  const auto mix = [alpha](std::uint8_t under, std::uint8_t over) {
    return static_cast<std::uint8_t>(std::lround(under + (over - under) * std::min(alpha, 1.0)));
  };
  pixel[0] = mix(pixel[0], colour.r);
  pixel[1] = mix(pixel[1], colour.g);
  pixel[2] = mix(pixel[2], colour.b);
}

void Canvas::fillRect(int x, int y, int w, int h, Rgb colour, double alpha) {
  for (int row = std::max(y, 0); row < std::min(y + h, FHeight); ++row)
    for (int col = std::max(x, 0); col < std::min(x + w, FWidth); ++col)
      blend(col, row, colour, alpha);
}

void Canvas::polyline(std::span<const Point> points, double thickness, Rgb colour, int clipX,
                      int clipY, int clipW, int clipH) {
  // Coverage is gathered first and blended once, so that the joints between
  // segments are not painted twice.
  std::vector<float> coverage(static_cast<std::size_t>(clipW) * clipH, 0.0f);
  const double reach = thickness / 2.0 + 1.0;
  for (std::size_t s = 1; s < points.size(); ++s) {
    const Point a = points[s - 1];
    const Point b = points[s];
    const int left = std::max(clipX, static_cast<int>(std::floor(std::min(a.x, b.x) - reach)));
    const int right =
        std::min(clipX + clipW - 1, static_cast<int>(std::ceil(std::max(a.x, b.x) + reach)));
    const int top = std::max(clipY, static_cast<int>(std::floor(std::min(a.y, b.y) - reach)));
    const int bottom =
        std::min(clipY + clipH - 1, static_cast<int>(std::ceil(std::max(a.y, b.y) + reach)));
    for (int y = top; y <= bottom; ++y) {
      for (int x = left; x <= right; ++x) {
        const double d = distanceToSegment({x + 0.5, y + 0.5}, a, b);
        const auto cover = static_cast<float>(std::clamp(thickness / 2.0 + 0.5 - d, 0.0, 1.0));
        float& cell = coverage[static_cast<std::size_t>(y - clipY) * clipW + (x - clipX)];
        cell = std::max(cell, cover);
      }
    }
  }
  for (int y = 0; y < clipH; ++y)
    for (int x = 0; x < clipW; ++x)
      blend(clipX + x, clipY + y, colour, coverage[static_cast<std::size_t>(y) * clipW + x]);
}

void Canvas::text(int x, int y, std::string_view text, int scale, Rgb colour) {
  for (const char c : text) {
    const Glyph& glyph = glyphFor(c);
    for (int row = 0; row < kGlyphHeight; ++row)
      for (int col = 0; col < kGlyphWidth; ++col)
        if (glyph[row] & (0x10 >> col))
          fillRect(x + col * scale, y + row * scale, scale, scale, colour);
    x += kGlyphAdvance * scale;
  }
}

int Canvas::textWidth(std::string_view text, int scale) {
  return text.empty() ? 0 : static_cast<int>(text.size()) * kGlyphAdvance * scale - scale;
}

void Canvas::savePng(const std::string& path) const {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(FWidth);
  image.height = static_cast<png_uint_32>(FHeight);
  image.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&image, path.c_str(), 0, FPixels.data(), FWidth * 3, nullptr))
    throw std::runtime_error("cannot write '" + path + "': " + image.message);
}

} // namespace glowrasp::demo
