// The knob shows the frame of its parameter's value and turns drags into
// automation requests: fine horizontally, coarse vertically, from the total
// travel since the press.
#include "EditorFixture.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

class KnobTest : public EditorFixture {
protected:
  // Client coordinates of a point given in the knob's own coordinates.
  static TPoint At(const TGraphicKnob& knob, int x, int y) {
    return {knob.Left() + x, knob.Top() + y};
  }
  static TPoint Centre(const TGraphicKnob& knob) { return At(knob, 37, 37); }

  void Press(TPoint p, TShiftState shift = ssLeft, TMouseButton button = mbLeft) {
    Form->MouseDown(button, shift, p.X, p.Y);
  }
  void MoveBy(TPoint from, int right, int up, TShiftState shift = ssLeft) {
    Form->MouseMove(shift, from.X + right, from.Y - up);
  }
  void Release(TPoint p) { Form->MouseUp(mbLeft, 0, p.X, p.Y); }
};

TEST_F(KnobTest, ShowsTheNearestFrameTiesToEven) {
  struct TCase {
    std::int32_t Value;
    int Frame;
  };
  for (const TCase c : {TCase{0, 0}, {500000, 30}, {508474, 30}, {991525, 58}, {1000000, 59}}) {
    SCOPED_TRACE(c.Value);
    Gain().SetCurValue(c.Value);
    Form->Idle();
    EXPECT_EQ(Form->GKGain->FrameIndex(), c.Frame);
    EXPECT_EQ(ShownFrame(*Form->GKGain), c.Frame);
  }
}

// Listens after the knob, so it sees the knob between a range notification
// and the value notification that follows it.
struct TFrameProbe {
  const TGraphicKnob* Knob;
  std::vector<int> FramesAtRangeChange;

  void Notify(void*, std::uint8_t Kind, std::int32_t) {
    if (Kind == gnRangeChanged)
      FramesAtRangeChange.push_back(Knob->FrameIndex());
  }
};

TEST_F(KnobTest, CachedValueOutsideTheCachedRangeStaysInsideTheFilmstrip) {
  TFrameProbe probe{Form->GKGain, {}};
  TGraphicNotifyHost& notifier = Form->ParamGainSource->Notifier();
  notifier.AddListener(&probe, TGraphicNotifyEvent::Bind<&TFrameProbe::Notify>(&probe));
  Gain().SetCurValue(0);
  Form->Idle();
  Gain().SetMinValue(600000); // the cached value lies below the new range
  Gain().SetCurValue(1000000);
  Form->Idle();
  Gain().SetMaxValue(700000); // and now above it
  Gain().SetMinValue(700000); // no range left at all
  Form->Idle();
  notifier.RemoveListener(&probe);
  EXPECT_EQ(probe.FramesAtRangeChange, (std::vector<int>{0, 59, 0}));
  EXPECT_EQ(ShownFrame(*Form->GKGain), 0);
}

// A host's modulation shows as a thin arc on the ring from the value to
// where the modulation holds it, only while there is one; nothing else in
// the editor changes.
TEST_F(KnobTest, ModulationArcShowsOnlyWhileTheHostModulates) {
  TGraphicKnob& knob = *Form->GKGain;
  Gain().SetCurValue(500000); // straight up
  Form->Idle();
  const TBitmap plain = Form->BackBuffer();
  // Points on the arc's circle, in the knob's coordinates: upper right and
  // upper left of the top, right of the centre.
  const TPoint upperRight{58, 16}, upperLeft{16, 16}, right{66, 37};
  struct TCase {
    double Amount;
    std::vector<TPoint> Drawn;
    std::vector<TPoint> Clear;
  };
  const TCase cases[] = {
      {0.25, {upperRight}, {upperLeft, right}},
      {-0.25, {upperLeft}, {upperRight, right}},
      {2.0, {upperRight, right}, {upperLeft}}, // clamped at the end of the ring
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Amount);
    Gain().SetModulation(c.Amount);
    Form->Idle();
    const TBitmap& shown = Form->BackBuffer();
    for (const TPoint p : c.Drawn)
      EXPECT_EQ(shown.Pixel(knob.Left() + p.X, knob.Top() + p.Y), TGraphicKnob::kModulationColor)
          << p.X << "," << p.Y;
    for (const TPoint p : c.Clear)
      EXPECT_EQ(shown.Pixel(knob.Left() + p.X, knob.Top() + p.Y),
                plain.Pixel(knob.Left() + p.X, knob.Top() + p.Y))
          << p.X << "," << p.Y;
    // Only arc pixels inside the knob differ from the unmodulated picture.
    for (int y = 0; y < shown.Height(); ++y)
      for (int x = 0; x < shown.Width(); ++x)
        if (shown.Pixel(x, y) != plain.Pixel(x, y)) {
          ASSERT_EQ(shown.Pixel(x, y), TGraphicKnob::kModulationColor) << x << "," << y;
          ASSERT_TRUE(x >= knob.Left() && x < knob.Left() + knob.Width() && y >= knob.Top() &&
                      y < knob.Top() + knob.Height())
              << x << "," << y;
        }
    EXPECT_EQ(ShownFrame(knob), -1) << "the arc is drawn over the value's frame";
  }
  Gain().SetModulation(0.0);
  Form->Idle();
  EXPECT_EQ(Form->BackBuffer(), plain);
}

TEST_F(KnobTest, DragStepsRoundHalvesToEvenPerAxis) {
  struct TCase {
    TGraphicKnob* TFormEditor::*Knob;
    int Right;
    int Up;
    std::int32_t Delta;
  };
  const TCase cases[] = {
      {&TFormEditor::GKGain, 5, 0, 0},        {&TFormEditor::GKGain, 6, 0, 1000},
      {&TFormEditor::GKGain, 15, 0, 2000},    {&TFormEditor::GKGain, -5, 0, 0},
      {&TFormEditor::GKGain, -15, 0, -2000},  {&TFormEditor::GKGain, -25, 0, -2000},
      {&TFormEditor::GKGain, 0, 10, 0},       {&TFormEditor::GKGain, 0, 11, 25000},
      {&TFormEditor::GKGain, 0, 30, 50000},   {&TFormEditor::GKGain, 0, -11, -25000},
      {&TFormEditor::GKGain, 6, 11, 26000},   {&TFormEditor::GKIntensity, 0, -11, -50000},
      {&TFormEditor::GKOutGain, 0, 11, 25000}};
  for (const TCase& c : cases) {
    TGraphicKnob& knob = *(Form.get()->*c.Knob);
    SCOPED_TRACE(knob.Name() + " " + std::to_string(c.Right) + " right, " + std::to_string(c.Up) +
                 " up");
    TVSTParameter& param = *knob.ParamSrc()->Parameter();
    param.SetCurValue(500000);
    Automation.Calls.clear();
    Press(Centre(knob));
    MoveBy(Centre(knob), c.Right, c.Up);
    Release(Centre(knob));
    EXPECT_EQ(param.CurValue(), 500000 + c.Delta);
    EXPECT_EQ(Automation.Calls.size(), c.Delta == 0 ? 0u : 1u);
    EXPECT_EQ(ShownFrame(knob), knob.FrameIndex());
  }
}

TEST_F(KnobTest, DragFollowsTotalTravelThroughTheClamp) {
  Gain().SetCurValue(900000);
  const TPoint press = Centre(*Form->GKGain);
  Press(press);
  struct TStep {
    int Up;
    std::int32_t Value;
  };
  // 400 up asks for 1400000; coming back, 70 up is still 3.5 (4) steps.
  for (const TStep s :
       {TStep{400, 1000000}, {300, 1000000}, {70, 1000000}, {69, 975000}, {0, 900000}}) {
    SCOPED_TRACE(s.Up);
    MoveBy(press, 0, s.Up);
    EXPECT_EQ(Gain().CurValue(), s.Value);
  }
  EXPECT_EQ(Automation.Calls.size(), 3u); // 1000000, 975000, 900000
  Release(press);
  MoveBy(press, 0, 100);
  EXPECT_EQ(Gain().CurValue(), 900000) << "a move after the release still dragged";
}

TEST_F(KnobTest, RadialPressesCountInsideTheInscribedCircle) {
  struct TCase {
    int X;
    int Y;
    bool Accepted;
  };
  TGraphicKnob& knob = *Form->GKGain;
  for (const TCase c :
       {TCase{0, 37, true}, {37, 0, true}, {11, 11, true}, {10, 11, false}, {5, 5, false}}) {
    SCOPED_TRACE(std::to_string(c.X) + "," + std::to_string(c.Y));
    Press(At(knob, c.X, c.Y));
    EXPECT_EQ(knob.Dragging(), c.Accepted);
    Release(At(knob, c.X, c.Y));
  }
  knob.Radial = false;
  Press(At(knob, 0, 0));
  EXPECT_TRUE(knob.Dragging());
  Release(At(knob, 0, 0));
}

TEST_F(KnobTest, OnlyTheLeftButtonStartsADragAndCtrlMeansNothing) {
  TGraphicKnob& knob = *Form->GKGain;
  const TPoint centre = Centre(knob);
  Press(centre, ssRight, mbRight);
  EXPECT_FALSE(knob.Dragging());
  MoveBy(centre, 6, 0, ssRight);
  Form->MouseUp(mbRight, 0, centre.X, centre.Y);
  EXPECT_EQ(Gain().CurValue(), 500000);

  Press(centre, ssLeft | ssCtrl);
  EXPECT_TRUE(knob.Dragging());
  MoveBy(centre, 6, 0, ssLeft | ssCtrl);
  EXPECT_EQ(Gain().CurValue(), 501000);
  Release(centre);
  EXPECT_FALSE(knob.Dragging());
}

TEST_F(KnobTest, DoubleClickRequestsTheDefaultWithoutDragging) {
  struct TCase {
    TGraphicKnob* TFormEditor::*Knob;
    std::int32_t Default;
  };
  for (const TCase c : {TCase{&TFormEditor::GKGain, 500000},
                        {&TFormEditor::GKIntensity, 1000000},
                        {&TFormEditor::GKOutGain, 500000}}) {
    TGraphicKnob& knob = *(Form.get()->*c.Knob);
    SCOPED_TRACE(knob.Name());
    TVSTParameter& param = *knob.ParamSrc()->Parameter();
    param.SetCurValue(123456);
    Press(Centre(knob), ssLeft | ssDouble);
    EXPECT_EQ(param.CurValue(), c.Default);
    EXPECT_FALSE(knob.Dragging());
    EXPECT_EQ(ShownFrame(knob), knob.FrameIndex());
    Release(Centre(knob));
  }
}

TEST_F(KnobTest, ShiftLocksAndAltMovesTheSyncParameter) {
  TGraphicKnob& knob = *Form->GKGain;
  knob.SyncParamSrc = Form->ParamOutGainSource;
  const TPoint centre = Centre(knob);

  OutGain().SetCurValue(100000);
  Press(centre, ssLeft | ssShift);
  MoveBy(centre, 0, 11, ssLeft | ssShift);
  EXPECT_EQ(OutGain().CurValue(), 525000) << "Shift: the same value";
  MoveBy(centre, 0, 30, ssLeft);
  EXPECT_EQ(OutGain().CurValue(), 525000) << "released keys stop the coupling";
  MoveBy(centre, 0, 30, ssLeft | ssAlt);
  EXPECT_EQ(OutGain().CurValue(), 150000) << "Alt: the same change from its own start";
  Release(centre);

  Press(centre, ssLeft);
  MoveBy(centre, 0, 11, ssLeft | ssShift);
  EXPECT_EQ(OutGain().CurValue(), 150000) << "no key at the press, no coupling";
  Release(centre);

  // The sync parameter gets the knob's own default, not its own.
  Form->GKIntensity->SyncParamSrc = Form->ParamGainSource;
  Intensity().SetCurValue(0);
  Press(Centre(*Form->GKIntensity), ssLeft | ssAlt | ssDouble);
  EXPECT_EQ(Intensity().CurValue(), 1000000);
  EXPECT_EQ(Gain().CurValue(), 1000000);
  Release(Centre(*Form->GKIntensity));

  knob.SyncParamSrc = Form->ParamGainSource;
  EXPECT_EQ(Gain().CurValue(), 1000000);
  Press(centre, ssLeft | ssAlt);
  EXPECT_FALSE(knob.SyncActive()) << "its own parameter is no sync parameter";
  Release(centre);
}

TEST_F(KnobTest, UnboundKnobIgnoresPressesAndKeepsItsLastPicture) {
  TGraphicKnob& knob = *Form->GKGain;
  Gain().SetCurValue(1000000);
  Form->Idle();
  Form->HostProxy->SetHost(nullptr);
  EXPECT_EQ(knob.ValueCache(), 1000000);
  EXPECT_EQ(ShownFrame(knob), 59);
  Press(Centre(knob));
  EXPECT_FALSE(knob.Dragging());
  Release(Centre(knob));
}

TEST_F(KnobTest, StepsBelowOneAreStoredAsOne) {
  TGraphicKnob& knob = *Form->GKGain;
  knob.SetStepScaleV(0);
  knob.SetStepSlow(-3);
  EXPECT_EQ(knob.StepScaleV(), 1);
  EXPECT_EQ(knob.StepSlow(), 1);
}

TEST_F(KnobTest, WithoutFilmstripDrawsThePlaceholderAndStillDrags) {
  TGraphicKnob& knob = *Form->GKGain;
  knob.SetContainer(nullptr);
  const TBitmap& screen = Form->BackBuffer();
  EXPECT_EQ(screen.Pixel(knob.Left(), knob.Top()), clBlack);
  EXPECT_EQ(screen.Pixel(knob.Left() + 73, knob.Top() + 73), clBlack);
  EXPECT_EQ(screen.Pixel(knob.Left() + 1, knob.Top() + 1), clBtnFace);
  EXPECT_EQ(screen.Pixel(knob.Left() + 72, knob.Top() + 40), clBtnFace);
  Press(Centre(knob));
  MoveBy(Centre(knob), 6, 0);
  EXPECT_EQ(Gain().CurValue(), 501000);
  Release(Centre(knob));
}

// Hosts automate from their own threads while the editor is open: those
// threads only count the change, and the editor's thread reads and paints it
// at its next idle.
TEST_F(KnobTest, AutomationFromAnotherThreadIsPaintedAtTheNextIdle) {
  TGraphicKnob& knob = *Form->GKGain;
  ASSERT_EQ(ShownFrame(knob), 30);
  std::thread host([this] { Gain().SetNormalizedValue(1.0f); });
  host.join();
  EXPECT_EQ(knob.ValueCache(), 500000);
  EXPECT_EQ(ShownFrame(knob), 30);
  Form->Idle();
  EXPECT_EQ(knob.ValueCache(), 1000000);
  EXPECT_EQ(ShownFrame(knob), 59);
}

TEST_F(KnobTest, EditorPaintsWhileTheHostAutomates) {
  std::atomic<bool> done{false};
  std::thread host([this, &done] {
    for (int i = 0; i <= 1000; ++i)
      Gain().SetNormalizedValue(static_cast<float>(i) / 1000);
    done = true;
  });
  while (!done)
    Form->Idle();
  host.join();
  Form->Idle();
  EXPECT_EQ(ShownFrame(*Form->GKGain), 59);
  EXPECT_EQ(Form->GraphicText1->Text(), "48.0 dB");
}

} // namespace
