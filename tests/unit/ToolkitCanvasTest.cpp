// The canvas draws rectangles, pictures and text into a back buffer, through
// an origin and a clip that no coordinate can get around.
#include "toolkit/BuiltinFont.h"
#include "toolkit/Canvas.h"
#include "toolkit/EmbeddedResource.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

constexpr TColor kPaper = 0x102030;
constexpr TColor kPen = 0xFF0000;
constexpr TColor kBrush = 0x0000FF;

// Draws `picture` of a bitmap as characters: '.' paper, 'P' pen, 'B' brush.
std::string Picture(const TBitmap& b) {
  std::string s;
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) {
      const TColor c = b.Pixel(x, y);
      s += c == kPaper ? '.' : c == kPen ? 'P' : c == kBrush ? 'B' : '?';
    }
    s += '\n';
  }
  return s;
}

TCanvas MakeCanvas(TBitmap& target, TPoint origin, TRect clip) {
  TCanvas canvas(target, origin, clip);
  canvas.PenColor = kPen;
  canvas.BrushColor = kBrush;
  return canvas;
}

TEST(CanvasTest, RectangleOutlinesThePenAndFillsTheBrushInside) {
  TBitmap target(7, 6, kPaper);
  TCanvas canvas = MakeCanvas(target, {1, 1}, {0, 0, 6, 5});
  canvas.Rectangle(0, 0, 5, 4);
  EXPECT_EQ(Picture(target), ".......\n"
                             ".PPPPP.\n"
                             ".PBBBP.\n"
                             ".PBBBP.\n"
                             ".PPPPP.\n"
                             ".......\n");

  TBitmap clear(5, 4, kPaper);
  TCanvas outline = MakeCanvas(clear, {0, 0}, {0, 0, 5, 4});
  outline.BrushStyle = bsClear;
  outline.Rectangle(0, 0, 5, 4);
  EXPECT_EQ(Picture(clear), "PPPPP\n"
                            "P...P\n"
                            "P...P\n"
                            "PPPPP\n");
}

TEST(CanvasTest, ClipHoldsForAnyCoordinates) {
  struct TCase {
    int X1, Y1, X2, Y2;
    const char* Expected;
  };
  // Canvas origin (2, 1), clip 3 x 2 at (0, 0): only target columns 2..4 and rows 1..2.
  const TCase cases[] = {
      {-1, -1, 10, 10, ".....\n..BBB\n..BBB\n.....\n"},
      {INT_MIN, INT_MIN, INT_MAX, INT_MAX, ".....\n..BBB\n..BBB\n.....\n"},
      {INT_MAX, INT_MAX, INT_MIN, INT_MIN, ".....\n..BBB\n..BBB\n.....\n"},
      {1, 0, 2, 1, ".....\n...P.\n.....\n.....\n"},
      {3, 0, INT_MAX, 5, ".....\n.....\n.....\n.....\n"},
      {INT_MIN, INT_MIN, -1, -1, ".....\n.....\n.....\n.....\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.X1 << ',' << c.Y1 << ',' << c.X2 << ',' << c.Y2);
    TBitmap target(5, 4, kPaper);
    TCanvas canvas = MakeCanvas(target, {2, 1}, {0, 0, 3, 2});
    canvas.Rectangle(c.X1, c.Y1, c.X2, c.Y2);
    EXPECT_EQ(Picture(target), c.Expected);
  }
  // A clip reaching outside the target is cut at its edges.
  TBitmap target(3, 3, kPaper);
  TCanvas canvas =
      MakeCanvas(target, {-5, -5}, {INT_MIN / 2, INT_MIN / 2, INT_MAX / 2, INT_MAX / 2});
  canvas.Rectangle(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_EQ(Picture(target), "BBB\nBBB\nBBB\n");
}

TEST(CanvasTest, DrawCopiesThePictureUnscaledThroughTheClip) {
  TPicture knob;
  const auto data = FindEmbeddedResource("knob.jpg");
  knob.LoadFromJpeg({data.data(), data.size()});
  const TBitmap& strip = knob.Pixels();

  // A 74 x 74 control at (10, 20) showing frame 13 (column 3, row 1).
  TBitmap target(100, 100, kPaper);
  TCanvas canvas(target, {10, 20}, {0, 0, 74, 74});
  canvas.Draw(-3 * 74, -74, knob);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) {
      const bool inside = x >= 10 && x < 84 && y >= 20 && y < 94;
      const TColor expected = inside ? strip.Pixel(x - 10 + 3 * 74, y - 20 + 74) : kPaper;
      ASSERT_EQ(target.Pixel(x, y), expected) << x << ',' << y;
    }

  // Far away or partly off every edge: nothing outside the clip changes.
  for (const TPoint at : {TPoint{INT_MAX, INT_MAX}, TPoint{INT_MIN, INT_MIN},
                          TPoint{INT_MAX - 10, 0}, TPoint{-739, -443}, TPoint{99, 99}}) {
    TBitmap small(8, 8, kPaper);
    TCanvas clipped(small, {2, 2}, {0, 0, 4, 4});
    clipped.Draw(at.X, at.Y, knob);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        if (x < 2 || x >= 6 || y < 2 || y >= 6) {
          ASSERT_EQ(small.Pixel(x, y), kPaper) << at.X << ',' << at.Y;
        }
      }
    }
  }
  TBitmap untouched(4, 4, kPaper);
  TCanvas empty(untouched, {0, 0}, {0, 0, 4, 4});
  empty.Draw(0, 0, TPicture());
  EXPECT_EQ(untouched, TBitmap(4, 4, kPaper));
}

TEST(CanvasTest, TextExtentIsTheAdvancesByTheLineHeight) {
  TBitmap target(1, 1);
  const TCanvas canvas(target, {0, 0}, {0, 0, 1, 1});
  const TBitmapFont& font = BuiltinSansFont();
  const std::string_view text = "100.0 %";
  int advances = 0;
  for (const char c : text)
    advances += font.Glyph(static_cast<unsigned char>(c)).Advance;
  EXPECT_EQ(canvas.TextExtent(text).Width, advances);
  EXPECT_EQ(canvas.TextExtent(text).Height, 13);
  EXPECT_EQ(canvas.TextExtent("").Width, 0);
}

// Where the glyphs of `text` put ink, for a cell at (x, y) of the target.
TBitmap Coverage(int width, int height, int x, int y, std::string_view text) {
  TBitmap coverage(width, height, 0);
  const TBitmapFont& font = BuiltinSansFont();
  for (const char c : text) {
    const TGlyph& g = font.Glyph(static_cast<unsigned char>(c));
    for (int gy = 0; gy < g.Height; ++gy)
      for (int gx = 0; gx < g.Width; ++gx) {
        const int px = x + g.OffsetX + gx;
        const int py = y + g.OffsetY + gy;
        if (px >= 0 && px < width && py >= 0 && py < height)
          coverage.SetPixel(px, py, font.Alpha[g.AlphaOffset + gy * g.Width + gx]);
      }
    x += g.Advance;
  }
  return coverage;
}

TEST(CanvasTest, TextBlendsOverTheBackgroundInsideBothClips) {
  // A read-out: a 71 x 24 control at (31, 137), its 13-pixel text cell at y = 5.
  constexpr TColor kDark = 0x302418;
  TBitmap target(120, 180, kDark);
  for (int y = 0; y < 180; ++y) // a gradient, so blending must read what is there
    target.SetPixel(50, y, static_cast<TColor>(y));
  const TBitmap before = target;
  TCanvas canvas(target, {31, 137}, {0, 0, 71, 24});
  canvas.Font.SetColor(clWhite);
  canvas.BrushStyle = bsClear;
  canvas.TextRect({0, 0, 71, 24}, 16, 5, "-12.5 dB");

  const TBitmap ink = Coverage(120, 180, 31 + 16, 137 + 5, "-12.5 dB");
  int full = 0;
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 120; ++x) {
      const unsigned a = ink.Pixel(x, y);
      const TColor got = target.Pixel(x, y);
      if (a == 0) {
        ASSERT_EQ(got, before.Pixel(x, y)) << x << ',' << y;
        continue;
      }
      ASSERT_GE(y, 137 + 5);
      ASSERT_LT(y, 137 + 5 + 13);
      full += a == 255;
      for (int shift : {0, 8, 16}) {
        const int under = static_cast<int>(before.Pixel(x, y) >> shift & 0xFF);
        const int expected = under + ((255 - under) * static_cast<int>(a) + 127) / 255;
        ASSERT_LE(std::abs(static_cast<int>(got >> shift & 0xFF) - expected), 1) << x << ',' << y;
      }
    }
  EXPECT_GT(full, 0);
}

TEST(CanvasTest, TextIsCutAtTheNarrowerClip) {
  TBitmap target(40, 20, kPaper);
  TCanvas canvas(target, {5, 2}, {0, 0, 30, 16});
  canvas.Font.SetColor(kPen);
  canvas.BrushStyle = bsClear;
  canvas.TextRect({3, 3, 60, 9}, -4, 0, "WWWWWWWW");
  bool inked = false;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x)
      if (target.Pixel(x, y) != kPaper) {
        inked = true;
        ASSERT_TRUE(x >= 8 && x < 35 && y >= 5 && y < 11) << x << ',' << y;
      }
  EXPECT_TRUE(inked);

  // A solid brush fills the clip first.
  TBitmap solid(10, 10, kPaper);
  TCanvas filled(solid, {0, 0}, {0, 0, 10, 10});
  filled.BrushColor = kBrush;
  filled.TextRect({2, 2, 5, 5}, 100, 100, "x");
  EXPECT_EQ(solid.Pixel(2, 2), kBrush);
  EXPECT_EQ(solid.Pixel(4, 4), kBrush);
  EXPECT_EQ(solid.Pixel(5, 5), kPaper);

  TBitmap far(10, 10, kPaper);
  TCanvas anywhere(far, {0, 0}, {0, 0, 10, 10});
  anywhere.BrushStyle = bsClear;
  anywhere.TextRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, INT_MAX - 3, INT_MIN, "WWW");
  anywhere.TextRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, INT_MIN, 0, "WWWWWWWWWWWWWWWW");
  EXPECT_EQ(far, TBitmap(10, 10, kPaper));
}

TEST(FontTest, ReportsOnlyRealChanges) {
  TFont font;
  int changes = 0;
  struct TCounter {
    int* Count;
    void Changed() { ++*Count; }
  } counter{&changes};
  font.OnChange = TFont::TChangeEvent::Bind<&TCounter::Changed>(&counter);
  font.SetColor(font.Color());
  font.SetHeight(font.Height());
  font.SetName(font.Name());
  EXPECT_EQ(changes, 0);
  font.SetColor(clWhite);
  font.SetHeight(-12);
  font.SetName("Other");
  font.SetCharset(DEFAULT_CHARSET);
  EXPECT_EQ(changes, 3);

  TFont other;
  other.SetColor(0x123456);
  other.SetHeight(-9);
  changes = 0;
  font.Assign(other);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(font.Color(), 0x123456u);
  EXPECT_EQ(font.Height(), -9);
  EXPECT_EQ(font.Name(), "MS Sans Serif");
}

} // namespace
