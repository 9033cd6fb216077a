// Colours, points and rectangles of the toolkit. Colours are 0x00RRGGBB.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clWindowText = 0x000000;
// COLOR_BTNFACE, RGB(240, 240, 240).
inline constexpr TColor clBtnFace = 0xF0F0F0;

struct TPoint {
  int X = 0;
  int Y = 0;
};

struct TSize {
  int Width = 0;
  int Height = 0;
  bool operator==(const TSize&) const = default;
};

// Right and Bottom are exclusive.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  TRect Intersect(const TRect& o) const {
    return {std::max(Left, o.Left), std::max(Top, o.Top), std::min(Right, o.Right),
            std::min(Bottom, o.Bottom)};
  }
  bool Intersects(const TRect& o) const { return !Intersect(o).Empty(); }
  TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  bool operator==(const TRect&) const = default;
};

// Forms are laid out in editor units and drawn at a scale (pixels per unit).
// Every length and position takes this one rounding (halves away from zero),
// so a control's pixel size never depends on where it sits. Results beyond
// the int range are clamped to it.
inline int ScaledLength(long long units, double scale) {
  const double pixels = std::clamp(static_cast<double>(units) * scale, -2147483648.0, 2147483647.0);
  return static_cast<int>(std::llround(pixels));
}

inline TSize ScaledSize(TSize size, double scale) {
  return {ScaledLength(size.Width, scale), ScaledLength(size.Height, scale)};
}

// A rectangle in units to pixels: its corner and its size each rounded.
inline TRect ScaledRect(const TRect& r, double scale) {
  const int x = ScaledLength(r.Left, scale);
  const int y = ScaledLength(r.Top, scale);
  const auto far = [scale](int near, long long size) {
    return static_cast<int>(
        std::min<long long>(near + 0LL + ScaledLength(std::max(size, 0LL), scale), 2147483647LL));
  };
  return {x, y, far(x, 0LL + r.Right - r.Left), far(y, 0LL + r.Bottom - r.Top)};
}
