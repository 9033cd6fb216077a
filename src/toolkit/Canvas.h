// Drawing on a form's back buffer. Coordinates are pixels relative to the
// origin given at construction (a control's top-left corner); everything is
// clipped to the clip rectangle (in the same coordinates). Scale is the
// form's pixels per editor unit: text is set in the font size made for it.
#pragma once

#include "toolkit/Bitmap.h"
#include "toolkit/Font.h"
#include "toolkit/Graphics.h"
#include "toolkit/Picture.h"

#include <string_view>

enum TBrushStyle { bsSolid, bsClear };

class TCanvas {
public:
  TCanvas(TBitmap& target, TPoint origin, TRect clip, double scale = 1);

  TColor PenColor = clBlack;
  TColor BrushColor = clWhite;
  TBrushStyle BrushStyle = bsSolid;
  TFont Font;

  const TRect& ClipRect() const { return FClip; }
  double Scale() const { return FScale; }
  // The picture at its own size with its top-left corner at (x, y).
  void Draw(int x, int y, const TPicture& picture);
  void Draw(int x, int y, const TBitmap& pixels);
  // One-pixel outline in the pen colour, inside in the brush (unless clear),
  // from (x1, y1) to (x2, y2), the right and bottom edges exclusive.
  void Rectangle(int x1, int y1, int x2, int y2);
  // A band of the circle of `radius` around (cx, cy), `width` wide, in the
  // pen colour, from angle `from` to angle `to` (radians, counter-clockwise
  // from the right, either order). A pixel belongs to it when its centre does.
  void Arc(double cx, double cy, double radius, double width, double from, double to);
  TSize TextExtent(std::string_view text) const;
  // The text's cell has its top-left corner at (x, y); only what falls inside
  // `clip` (and the canvas's own clip) is drawn, blended over what is there.
  void TextRect(const TRect& clip, int x, int y, std::string_view text);

private:
  TBitmap& FTarget;
  TPoint FOrigin;
  TRect FClip; // in canvas coordinates
  double FScale;
};
