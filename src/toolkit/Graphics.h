// Colours, points and rectangles of the toolkit. Colours are 0x00RRGGBB.
#pragma once

#include <algorithm>
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
