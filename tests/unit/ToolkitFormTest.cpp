// Offscreen forms: z-order, the opaque and transparent repaint rules, repaints
// from other threads, and mouse routing with capture.
#include "toolkit/Form.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct TPaint {
  std::string Name;
  TRect Clip;
};

struct TMouse {
  std::string What;
  TShiftState Shift;
  int X;
  int Y;
};

// Fills its rectangle with one colour and writes down every paint and mouse event.
class TProbe : public TGraphicControl {
public:
  TProbe(TForm* form, std::vector<TPaint>& paints, std::string name, TRect bounds, TColor color,
         bool opaque)
      : TGraphicControl(form), FPaints(paints), FColor(color) {
    SetName(std::move(name));
    SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    SetOpaque(opaque);
    SetParent(form);
  }

  void Paint(TCanvas& canvas) override {
    FPaints.push_back({Name(), canvas.ClipRect()});
    if (RepaintWhilePainting)
      Repaint();
    canvas.PenColor = FColor;
    canvas.BrushColor = FColor;
    canvas.Rectangle(0, 0, Width(), Height());
  }
  void MouseDown(TMouseButton, TShiftState shift, int x, int y) override {
    Mouse.push_back({"down", shift, x, y});
    if (HideOnPress)
      SetVisible(false);
  }
  void MouseMove(TShiftState shift, int x, int y) override {
    Mouse.push_back({"move", shift, x, y});
  }
  void MouseUp(TMouseButton, TShiftState shift, int x, int y) override {
    Mouse.push_back({"up", shift, x, y});
  }

  std::vector<TMouse> Mouse;
  bool HideOnPress = false;
  bool RepaintWhilePainting = false;

private:
  std::vector<TPaint>& FPaints;
  TColor FColor;
};

constexpr TColor kFormColor = 0x000001;
constexpr TColor kBack = 0x0000AA;
constexpr TColor kMid = 0x00AA00;
constexpr TColor kTop = 0xAA0000;
constexpr TColor kFar = 0xAAAAAA;

// A 100 x 100 form: a backdrop over all of it, then mid, top and far.
//   mid (10,10)-(40,40)   top (30,30)-(60,60)   far (70,70)-(90,90)
class FormTest : public testing::Test {
protected:
  FormTest() {
    form.Color = kFormColor;
    form.SetClientSize(100, 100);
    back = new TProbe(&form, paints, "back", {0, 0, 100, 100}, kBack, true);
    mid = new TProbe(&form, paints, "mid", {10, 10, 40, 40}, kMid, true);
    top = new TProbe(&form, paints, "top", {30, 30, 60, 60}, kTop, false);
    far = new TProbe(&form, paints, "far", {70, 70, 90, 90}, kFar, true);
    paints.clear();
  }

  std::vector<std::string> Painted() const {
    std::vector<std::string> names;
    for (const TPaint& p : paints)
      names.push_back(p.Name);
    return names;
  }
  TColor At(int x, int y) const { return form.BackBuffer().Pixel(x, y); }

  std::vector<TPaint> paints;
  TForm form{nullptr, nullptr};
  TProbe* back;
  TProbe* mid;
  TProbe* top;
  TProbe* far;
};

using Names = std::vector<std::string>;

TEST_F(FormTest, OpaqueControlPaintsItselfAndWhatLiesAboveIt) {
  mid->Repaint();
  EXPECT_EQ(Painted(), (Names{"mid", "top"}));
  EXPECT_EQ(paints[0].Clip, (TRect{0, 0, 30, 30}));
  EXPECT_EQ(paints[1].Clip, (TRect{0, 0, 10, 10})) << "top is clipped to mid's rectangle";
  EXPECT_EQ(At(35, 35), kTop);
  EXPECT_EQ(At(15, 15), kMid);
}

TEST_F(FormTest, TransparentControlRepaintsItsAreaFromTheBottomUp) {
  top->Repaint();
  EXPECT_EQ(Painted(), (Names{"back", "mid", "top"}));
  EXPECT_EQ(paints[0].Clip, (TRect{30, 30, 60, 60}));
  EXPECT_EQ(paints[1].Clip, (TRect{20, 20, 30, 30}));
  EXPECT_EQ(paints[2].Clip, (TRect{0, 0, 30, 30}));

  // Without a backdrop the form's colour shows through.
  delete back;
  paints.clear();
  top->Repaint();
  EXPECT_EQ(Painted(), (Names{"mid", "top"}));
  EXPECT_EQ(At(5, 5), kFormColor);
}

TEST_F(FormTest, HiddenControlsNeitherPaintNorTakeInput) {
  top->SetVisible(false);
  EXPECT_EQ(Painted(), (Names{"back", "mid"}));
  EXPECT_EQ(At(35, 35), kMid);
  EXPECT_EQ(At(55, 55), kBack);

  paints.clear();
  top->Repaint();
  form.Repaint();
  EXPECT_EQ(Painted(), (Names{"back", "mid", "far"}));

  form.MouseDown(mbLeft, ssLeft, 35, 35);
  form.MouseUp(mbLeft, 0, 35, 35);
  EXPECT_TRUE(top->Mouse.empty());
  EXPECT_EQ(mid->Mouse.size(), 2u);

  paints.clear();
  top->SetVisible(true);
  EXPECT_EQ(Painted(), (Names{"back", "mid", "top"}));
  EXPECT_EQ(At(35, 35), kTop);
}

TEST_F(FormTest, BringToFrontAndClientAlignment) {
  mid->BringToFront();
  EXPECT_EQ(form.Controls().back(), mid);
  EXPECT_EQ(Painted(), (Names{"mid"}));
  EXPECT_EQ(At(35, 35), kMid);

  far->SetAlign(alClient);
  EXPECT_EQ(far->BoundsRect(), (TRect{0, 0, 100, 100}));
  form.SetClientSize(120, 80);
  EXPECT_EQ(far->BoundsRect(), (TRect{0, 0, 120, 80}));
  EXPECT_EQ(form.BackBuffer().Width(), 120);
  form.SetBounds(0, 0, 402, 250);
  EXPECT_EQ(far->BoundsRect(), (TRect{0, 0, 402, 250}));
  far->SetBounds(5, 5, 10, 10);
  EXPECT_EQ(far->BoundsRect(), (TRect{0, 0, 402, 250})) << "alignment wins";
  EXPECT_EQ(At(35, 35), kMid) << "mid is still in front of far";
  EXPECT_EQ(At(200, 200), kFar);
}

TEST_F(FormTest, MovingRepaintsTheAreaLeftAndTheAreaTaken) {
  far->SetBounds(0, 80, 10, 10);
  EXPECT_EQ(At(75, 75), kBack);
  EXPECT_EQ(At(5, 85), kFar);

  // A control going away leaves its area repainted.
  delete top;
  EXPECT_EQ(At(35, 35), kMid);
  EXPECT_EQ(At(55, 55), kBack);
}

TEST_F(FormTest, PressCapturesUntilEveryButtonIsUp) {
  form.MouseDown(mbLeft, ssLeft, 35, 35); // top lies above mid here
  form.MouseMove(ssLeft, 95, 95);
  form.MouseDown(mbRight, ssLeft | ssRight, 0, 0);
  form.MouseUp(mbLeft, ssRight, 1, 1);
  form.MouseMove(ssRight, -20, 200);
  form.MouseUp(mbRight, 0, -20, 200);
  form.MouseMove(0, 75, 76);
  ASSERT_EQ(top->Mouse.size(), 6u);
  const TMouse expected[] = {
      {"down", ssLeft, 5, 5},    {"move", ssLeft, 65, 65},    {"down", ssLeft | ssRight, -30, -30},
      {"up", ssRight, -29, -29}, {"move", ssRight, -50, 170}, {"up", 0, -50, 170}};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(top->Mouse[i].What, expected[i].What) << i;
    EXPECT_EQ(top->Mouse[i].Shift, expected[i].Shift) << i;
    EXPECT_EQ(top->Mouse[i].X, expected[i].X) << i;
    EXPECT_EQ(top->Mouse[i].Y, expected[i].Y) << i;
  }
  ASSERT_EQ(far->Mouse.size(), 1u) << "after the release moves go to the control under the pointer";
  EXPECT_EQ(far->Mouse[0].X, 5);
  EXPECT_EQ(far->Mouse[0].Y, 6);
  EXPECT_TRUE(mid->Mouse.empty());
  EXPECT_TRUE(back->Mouse.empty());
}

TEST_F(FormTest, ControlHiddenByItsPressGetsNothingMore) {
  top->HideOnPress = true;
  form.MouseDown(mbLeft, ssLeft, 35, 35);
  form.MouseMove(ssLeft, 36, 36);
  form.MouseUp(mbLeft, 0, 36, 36);
  EXPECT_EQ(top->Mouse.size(), 1u);
  EXPECT_TRUE(mid->Mouse.empty()) << "the rest of the press belongs to no control";
  form.MouseDown(mbLeft, ssLeft, 35, 35);
  EXPECT_EQ(mid->Mouse.size(), 1u);
}

TEST_F(FormTest, RepaintsFromOtherThreadsWaitForIdle) {
  const TBitmap before = form.BackBuffer();
  std::thread([&] {
    mid->Repaint();
    far->Repaint();
  }).join();
  EXPECT_TRUE(paints.empty());
  EXPECT_EQ(form.BackBuffer(), before);

  form.Idle();
  EXPECT_EQ(Painted(), (Names{"mid", "top", "far"}));
  paints.clear();
  form.Idle();
  EXPECT_TRUE(paints.empty()) << "each request is painted once";

  std::thread([&] { form.Repaint(); }).join();
  EXPECT_TRUE(paints.empty());
  form.Idle();
  EXPECT_EQ(Painted(), (Names{"back", "mid", "top", "far"}));
}

TEST_F(FormTest, RepaintAskedForWhilePaintingWaitsForIdle) {
  top->RepaintWhilePainting = true;
  top->Repaint();
  EXPECT_EQ(Painted(), (Names{"back", "mid", "top"}));
  top->RepaintWhilePainting = false;
  paints.clear();
  form.Idle();
  EXPECT_EQ(Painted(), (Names{"back", "mid", "top", "far"}));
}

TEST(FormLifetimeTest, FormDestroysItsComponentsAndReleasesOthers) {
  auto form = std::make_unique<TForm>(nullptr, nullptr);
  form->SetClientSize(50, 50);
  auto outside = std::make_unique<TGraphicControl>(nullptr);
  outside->SetParent(form.get());
  bool destroyed = false;
  struct TWatched : TGraphicControl {
    TWatched(TComponent* owner, bool& flag) : TGraphicControl(owner), Flag(flag) {}
    ~TWatched() override { Flag = true; }
    bool& Flag;
  };
  (new TWatched(form.get(), destroyed))->SetParent(form.get());
  EXPECT_EQ(form->Controls().size(), 2u);
  form.reset();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(outside->Parent(), nullptr);
}

TEST(FormLifetimeTest, NewFormIsEmptyAndFilledWithItsColour) {
  TForm form(nullptr, nullptr);
  EXPECT_EQ(form.ClientWidth(), 0);
  form.Color = 0x123456;
  form.SetClientSize(3, 2);
  EXPECT_EQ(form.BackBuffer(), TBitmap(3, 2, 0x123456));
  form.SetClientSize(-5, -5);
  EXPECT_EQ(form.ClientHeight(), 0);
}

} // namespace
