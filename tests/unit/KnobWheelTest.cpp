// The wheel over a knob: a notch is one coarse step (the vertical drag's),
// with Shift or sideways one fine step; a burst of notches is one gesture.
#include "EditorFixture.h"

#include <chrono>
#include <string>
#include <vector>

namespace {

using TEvents = std::vector<std::string>;

class KnobWheelTest : public EditorFixture {
protected:
  static TPoint Centre(const TGraphicKnob& knob) { return {knob.Left() + 37, knob.Top() + 37}; }
  bool Wheel(TPoint at, int delta, TShiftState shift = 0, TWheelAxis axis = waVertical) {
    return Form->MouseWheel(shift, axis, delta, at.X, at.Y);
  }
};

TEST_F(KnobWheelTest, ANotchIsOneDragStep) {
  struct TCase {
    const char* Name;
    TGraphicKnob* TFormEditor::*Knob;
    std::int32_t Start;
    TWheelAxis Axis;
    TShiftState Shift;
    std::vector<int> Deltas;
    std::int32_t Expected;
  };
  const TCase cases[] = {
      {"coarse up", &TFormEditor::GKGain, 500000, waVertical, 0, {120}, 525000},
      {"coarse down twice", &TFormEditor::GKGain, 500000, waVertical, 0, {-120, -120}, 450000},
      {"Intensity's coarse step", &TFormEditor::GKIntensity, 500000, waVertical, 0, {-120}, 450000},
      {"Shift is fine", &TFormEditor::GKOutGain, 500000, waVertical, ssShift, {120}, 501000},
      {"sideways is fine", &TFormEditor::GKOutGain, 500000, waHorizontal, 0, {120}, 501000},
      {"leftwards", &TFormEditor::GKOutGain, 500000, waHorizontal, 0, {-240}, 498000},
      {"three thirds make a notch",
       &TFormEditor::GKGain,
       500000,
       waVertical,
       0,
       {40, 40, 40},
       525000},
      {"two thirds are none yet", &TFormEditor::GKGain, 500000, waVertical, 0, {40, 40}, 500000},
      {"clamped at the top", &TFormEditor::GKIntensity, 990000, waVertical, 0, {120}, 1000000},
      {"clamped at the bottom", &TFormEditor::GKGain, 10000, waVertical, 0, {-600}, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TGraphicKnob& knob = *(Form.get()->*c.Knob);
    TVSTParameter& param = *knob.ParamSrc()->Parameter();
    param.SetCurValue(c.Start);
    for (const int delta : c.Deltas)
      EXPECT_TRUE(Wheel(Centre(knob), delta, c.Shift, c.Axis));
    EXPECT_EQ(param.CurValue(), c.Expected);
    EXPECT_EQ(ShownFrame(knob), knob.FrameIndex()) << "the knob shows the new value at once";
    Form->MouseLeave();
  }
}

TEST_F(KnobWheelTest, OutsideTheKnobsCircleTheWheelIsNotTheKnobs) {
  const TGraphicKnob& knob = *Form->GKGain;
  EXPECT_FALSE(Wheel({knob.Left() + 5, knob.Top() + 5}, 120));
  EXPECT_EQ(Gain().CurValue(), 500000);
  EXPECT_TRUE(Automation.Events.empty());
}

TEST_F(KnobWheelTest, ABurstIsOneGestureUntilThePointerLeaves) {
  const TPoint centre = Centre(*Form->GKOutGain);
  Wheel(centre, 120);
  Wheel(centre, 120);
  Wheel(centre, -120);
  Form->MouseMove(0, centre.X + 2, centre.Y); // still over the knob
  EXPECT_EQ(Automation.Events, (TEvents{"begin 2", "automate 2", "automate 2", "automate 2"}));
  Form->MouseMove(0, 5, 5); // the backdrop
  EXPECT_EQ(Automation.Events.back(), "end 2");

  Automation.Events.clear();
  Wheel(centre, 120);
  Form->MouseLeave(); // out of the window
  EXPECT_EQ(Automation.Events, (TEvents{"begin 2", "automate 2", "end 2"}));
}

TEST_F(KnobWheelTest, APressEndsTheBurstBeforeItsOwnGesture) {
  const TPoint centre = Centre(*Form->GKGain);
  Wheel(centre, 120);
  Form->MouseDown(mbLeft, ssLeft, centre.X, centre.Y);
  Wheel(centre, 120); // the drag holds the knob
  Form->MouseMove(ssLeft, centre.X, centre.Y - 20);
  Form->MouseUp(mbLeft, 0, centre.X, centre.Y - 20);
  EXPECT_EQ(Automation.Events,
            (TEvents{"begin 0", "automate 0", "end 0", "begin 0", "automate 0", "end 0"}));
  EXPECT_EQ(Gain().CurValue(), 550000);
}

TEST_F(KnobWheelTest, TheBurstEndsAfterAPauseSeenAtIdle) {
  using namespace std::chrono_literals;
  TWheelBurst burst;
  const auto t0 = TWheelBurst::TClock::time_point{} + 1h;
  burst.Notch(Gain(), t0);
  burst.Notch(Gain(), t0 + 200ms);
  burst.Idle(t0 + 200ms + TWheelBurst::kPause - 1ms);
  EXPECT_TRUE(burst.Active());
  burst.Idle(t0 + 200ms + TWheelBurst::kPause);
  EXPECT_FALSE(burst.Active());
  burst.Notch(Gain(), t0 + 2s);
  burst.End();
  EXPECT_EQ(Automation.Events, (TEvents{"begin 0", "end 0", "begin 0", "end 0"}));
}

} // namespace
