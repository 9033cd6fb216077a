// A 32-bit pixel buffer, 0x00RRGGBB per pixel, rows top to bottom.
#pragma once

#include "toolkit/Graphics.h"

#include <cstdint>
#include <vector>

class TBitmap {
public:
  TBitmap() = default;
  TBitmap(int width, int height, TColor fill = clBlack)
      : FWidth(width), FHeight(height),
        FPixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  TColor Pixel(int x, int y) const { return FPixels[Offset(x, y)]; }
  void SetPixel(int x, int y, TColor c) { FPixels[Offset(x, y)] = c; }
  std::uint32_t* Row(int y) { return FPixels.data() + Offset(0, y); }
  const std::uint32_t* Row(int y) const { return FPixels.data() + Offset(0, y); }
  const std::vector<std::uint32_t>& Pixels() const { return FPixels; }
  bool operator==(const TBitmap&) const = default;

private:
  std::size_t Offset(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth) +
           static_cast<std::size_t>(x);
  }

  int FWidth = 0;
  int FHeight = 0;
  std::vector<std::uint32_t> FPixels;
};
