// Forms drawn at a scale: pixel sizes, pointer routing in pixels, and the
// artwork chosen and resized for each scale.
#include "toolkit/Form.h"
#include "toolkit/PictureSet.h"
#include "toolkit/Resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

class TFilled : public TGraphicControl {
public:
  TFilled(TForm* form, TRect bounds, TColor color) : TGraphicControl(form), FColor(color) {
    SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    SetOpaque(true);
    SetParent(form);
  }
  void Paint(TCanvas& canvas) override {
    canvas.PenColor = FColor;
    canvas.BrushColor = FColor;
    canvas.Rectangle(0, 0, PixelSize().Width, PixelSize().Height);
  }
  void MouseDown(TMouseButton, TShiftState, int x, int y) override { Presses.push_back({x, y}); }

  std::vector<TPoint> Presses;

private:
  TColor FColor;
};

struct TResizeCounter {
  int Calls = 0;
  void Resized(TForm*) { ++Calls; }
};

TEST(ScaledForm, PixelSizeIsTheRoundedScaledClientSizeAtEveryZoomStep) {
  for (const double scale : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0}) {
    SCOPED_TRACE(scale);
    TForm form(nullptr, nullptr);
    form.SetClientSize(402, 250);
    TResizeCounter counter;
    form.OnResize = TEvent<void(TForm*)>::Bind<&TResizeCounter::Resized>(&counter);
    form.SetScale(scale);
    EXPECT_EQ(form.PixelSize().Width, std::lround(402 * scale));
    EXPECT_EQ(form.PixelSize().Height, std::lround(250 * scale));
    EXPECT_EQ(form.BackBuffer().Width(), form.PixelSize().Width);
    EXPECT_EQ(form.ClientRect(), (TRect{0, 0, 402, 250})) << "controls keep their units";
    EXPECT_EQ(counter.Calls, scale == 1 ? 0 : 1) << "the host hears of every new pixel size";
  }
}

TEST(ScaledForm, ScaleOutsideTheRangeIsClampedAndNaNIgnored) {
  TForm form(nullptr, nullptr);
  form.SetClientSize(100, 50);
  form.SetScale(2);
  form.SetScale(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(form.Scale(), 2);
  form.SetScale(0.25);
  EXPECT_EQ(form.Scale(), TForm::kMinScale);
  form.SetScale(std::numeric_limits<double>::infinity());
  EXPECT_EQ(form.Scale(), TForm::kMaxScale);
  EXPECT_EQ(form.PixelSize().Width, 300);
}

TEST(ScaledForm, ControlsPaintAndTakePressesOverTheirScaledArea) {
  TForm form(nullptr, nullptr);
  form.Color = clBlack;
  form.SetClientSize(40, 40);
  auto* box = new TFilled(&form, {10, 10, 20, 20}, clWhite);
  form.SetScale(1.5);
  // Units 10..20 are pixels 15..30.
  const TBitmap& pixels = form.BackBuffer();
  EXPECT_EQ(pixels.Pixel(14, 20), clBlack);
  EXPECT_EQ(pixels.Pixel(15, 15), clWhite);
  EXPECT_EQ(pixels.Pixel(29, 29), clWhite);
  EXPECT_EQ(pixels.Pixel(30, 20), clBlack);

  form.MouseDown(mbLeft, ssLeft, 14, 20);
  form.MouseUp(mbLeft, 0, 14, 20);
  form.MouseDown(mbLeft, ssLeft, 29, 16);
  form.MouseUp(mbLeft, 0, 29, 16);
  ASSERT_EQ(box->Presses.size(), 1u) << "only the press inside the scaled area";
  EXPECT_EQ(box->Presses[0].X, 14) << "pixels from the control's corner";
  EXPECT_EQ(box->Presses[0].Y, 1);
}

// Gives the set a picture of one colour per frame, `density` pixels per unit.
void PutSolid(TPictureSet& set, int density, TSize units, const std::vector<TColor>& frameColors,
              int frameWidth) {
  TBitmap pixels(units.Width * density, units.Height * density);
  for (int y = 0; y < pixels.Height(); ++y)
    for (int x = 0; x < pixels.Width(); ++x)
      pixels.SetPixel(x, y, frameColors[static_cast<std::size_t>(x / (frameWidth * density))]);
  TPicture picture;
  picture.LoadFromBitmap(std::move(pixels));
  set.SetPicture(density, picture);
}

TEST(PictureSet, PixelsComeFromTheMatchingOrNextDenserPictureNeverFromAMagnifiedOne) {
  constexpr TSize kUnits{8, 4};
  constexpr TColor kRed = 0xFF0000;
  constexpr TColor kGreen = 0x00FF00;
  constexpr TColor kBlue = 0x0000FF;
  TPictureSet set;
  PutSolid(set, 1, kUnits, {kRed}, 8);
  PutSolid(set, 2, kUnits, {kGreen}, 8);
  PutSolid(set, 3, kUnits, {kBlue}, 8);
  struct TCase {
    double Scale;
    TColor Expected;
  };
  for (const TCase& c : {TCase{1, kRed}, TCase{1.25, kGreen}, TCase{1.5, kGreen}, TCase{2, kGreen},
                         TCase{2.5, kBlue}, TCase{3, kBlue}}) {
    SCOPED_TRACE(c.Scale);
    const auto pixels = set.Pixels(c.Scale, kUnits);
    ASSERT_EQ(pixels->Width(), std::lround(8 * c.Scale));
    ASSERT_EQ(pixels->Height(), std::lround(4 * c.Scale));
    for (const std::uint32_t p : pixels->Pixels())
      ASSERT_EQ(p, c.Expected);
  }
}

TEST(PictureSet, FilmstripFramesAreResizedApartAndNeverBlend) {
  // Two 4 x 4 frames, black and white, at 2x only besides the base.
  constexpr TSize kUnits{8, 4};
  TPictureSet set;
  PutSolid(set, 1, kUnits, {clBlack, clWhite}, 4);
  PutSolid(set, 2, kUnits, {clBlack, clWhite}, 4);
  const auto pixels = set.Pixels(1.5, {4, 4});
  ASSERT_EQ(pixels->Width(), 12);
  for (int y = 0; y < pixels->Height(); ++y)
    for (int x = 0; x < pixels->Width(); ++x)
      ASSERT_EQ(pixels->Pixel(x, y), x < 6 ? clBlack : clWhite) << x << ", " << y;
}

TEST(Resample, ShrinkingAveragesFineDetailInsteadOfPickingPixels) {
  // One-pixel stripes halved: every output pixel is the mid grey, where
  // point sampling would give all black or all white.
  TBitmap stripes(32, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 32; ++x)
      stripes.SetPixel(x, y, x % 2 ? clWhite : clBlack);
  const TBitmap half = Resample(stripes, {0, 0, 32, 4}, 16, 2);
  for (int x = 3; x < 13; ++x) { // away from the repeated edges
    const unsigned grey = half.Pixel(x, 1) & 0xFF;
    EXPECT_NEAR(grey, 128, 2) << x;
  }
}

} // namespace
