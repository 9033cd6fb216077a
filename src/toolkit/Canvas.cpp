#include "toolkit/Canvas.h"

#include "toolkit/BuiltinFont.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using TCoord = long long; // wide enough that no offset or sum of coordinates overflows

TColor Blend(TColor ink, TColor under, unsigned alpha) {
  TColor result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const unsigned s = ink >> shift & 0xFF;
    const unsigned d = under >> shift & 0xFF;
    result |= (s * alpha + d * (255 - alpha) + 127) / 255 << shift;
  }
  return result;
}

// The part of the canvas rectangle (left, top)-(right, bottom) that lies inside
// the clip and the target, in target coordinates; empty when nothing is left.
TRect Visible(const TBitmap& target, TPoint origin, const TRect& clip, TCoord left, TCoord top,
              TCoord right, TCoord bottom) {
  const TCoord l = std::max<TCoord>(std::max<TCoord>(left, clip.Left) + origin.X, 0);
  const TCoord t = std::max<TCoord>(std::max<TCoord>(top, clip.Top) + origin.Y, 0);
  const TCoord r = std::min<TCoord>(std::min<TCoord>(right, clip.Right) + origin.X, target.Width());
  const TCoord b =
      std::min<TCoord>(std::min<TCoord>(bottom, clip.Bottom) + origin.Y, target.Height());
  if (r <= l || b <= t)
    return {};
  return {static_cast<int>(l), static_cast<int>(t), static_cast<int>(r), static_cast<int>(b)};
}

void Fill(TBitmap& target, const TRect& area, TColor color) {
  for (int y = area.Top; y < area.Bottom; ++y)
    std::fill(target.Row(y) + area.Left, target.Row(y) + area.Right, color);
}

} // namespace

TCanvas::TCanvas(TBitmap& target, TPoint origin, TRect clip, double scale)
    : FTarget(target), FOrigin(origin), FClip(clip), FScale(scale) {}

void TCanvas::Draw(int x, int y, const TPicture& picture) {
  Draw(x, y, picture.Pixels());
}

void TCanvas::Draw(int x, int y, const TBitmap& source) {
  const TRect area = Visible(FTarget, FOrigin, FClip, x, y, TCoord{x} + source.Width(),
                             TCoord{y} + source.Height());
  if (area.Empty())
    return;
  const TCoord sourceX = area.Left - (TCoord{x} + FOrigin.X);
  const TCoord sourceY = area.Top - (TCoord{y} + FOrigin.Y);
  for (int row = 0; row < area.Height(); ++row) {
    const std::uint32_t* from = source.Row(static_cast<int>(sourceY + row)) + sourceX;
    std::copy(from, from + area.Width(), FTarget.Row(area.Top + row) + area.Left);
  }
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  const TCoord left = std::min(x1, x2);
  const TCoord top = std::min(y1, y2);
  const TCoord right = std::max(x1, x2);
  const TCoord bottom = std::max(y1, y2);
  if (right == left || bottom == top)
    return;
  const auto fill = [&](TCoord l, TCoord t, TCoord r, TCoord b, TColor color) {
    Fill(FTarget, Visible(FTarget, FOrigin, FClip, l, t, r, b), color);
  };
  if (BrushStyle == bsSolid)
    fill(left + 1, top + 1, right - 1, bottom - 1, BrushColor);
  fill(left, top, right, top + 1, PenColor);
  fill(left, bottom - 1, right, bottom, PenColor);
  fill(left, top, left + 1, bottom, PenColor);
  fill(right - 1, top, right, bottom, PenColor);
}

void TCanvas::Arc(double cx, double cy, double radius, double width, double from, double to) {
  const double inner = std::max(radius - width / 2, 0.0);
  const double outer = radius + width / 2;
  if (!(outer > inner) || !std::isfinite(cx + cy + outer + from + to))
    return;
  const double low = std::min(from, to);
  const double high = std::max(from, to);
  const auto edge = [](double v) { return static_cast<TCoord>(std::floor(v)); };
  const TRect area = Visible(FTarget, FOrigin, FClip, edge(cx - outer), edge(cy - outer),
                             edge(cx + outer) + 1, edge(cy + outer) + 1);
  constexpr double kTurn = 2 * std::numbers::pi;
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) {
      const double dx = x - FOrigin.X + 0.5 - cx;
      const double dy = cy - (y - FOrigin.Y + 0.5);
      const double distance = std::hypot(dx, dy);
      if (distance < inner || distance > outer)
        continue;
      // The pixel's angle taken in the turn that starts at the arc's low end.
      double angle = std::atan2(dy, dx);
      angle += std::ceil((low - angle) / kTurn) * kTurn;
      if (angle <= high)
        FTarget.SetPixel(x, y, PenColor);
    }
}

TSize TCanvas::TextExtent(std::string_view text) const {
  const TBitmapFont& font = BuiltinSansFont(FScale);
  return {font.TextWidth(text), font.LineHeight};
}

void TCanvas::TextRect(const TRect& clip, int x, int y, std::string_view text) {
  const TRect limit =
      Visible(FTarget, FOrigin, FClip, clip.Left, clip.Top, clip.Right, clip.Bottom);
  if (limit.Empty())
    return;
  if (BrushStyle == bsSolid)
    Fill(FTarget, limit, BrushColor);
  const TBitmapFont& font = BuiltinSansFont(FScale);
  const TColor ink = Font.Color();
  TCoord pen = TCoord{x} + FOrigin.X;
  const TCoord cellTop = TCoord{y} + FOrigin.Y;
  for (const char c : text) {
    const TGlyph& glyph = font.Glyph(static_cast<unsigned char>(c));
    const TCoord left = pen + glyph.OffsetX;
    const TCoord top = cellTop + glyph.OffsetY;
    pen += glyph.Advance;
    const TCoord l = std::max<TCoord>(left, limit.Left);
    const TCoord r = std::min<TCoord>(left + glyph.Width, limit.Right);
    const TCoord t = std::max<TCoord>(top, limit.Top);
    const TCoord b = std::min<TCoord>(top + glyph.Height, limit.Bottom);
    for (TCoord py = t; py < b; ++py) {
      const std::uint8_t* alpha = font.Alpha + glyph.AlphaOffset + (py - top) * glyph.Width;
      std::uint32_t* row = FTarget.Row(static_cast<int>(py));
      for (TCoord px = l; px < r; ++px)
        if (const unsigned a = alpha[px - left])
          row[px] = Blend(ink, row[px], a);
    }
  }
}
