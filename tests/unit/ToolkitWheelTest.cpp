// The wheel: deltas gathered into whole notches (smooth devices send parts
// of one), and the notches routed to the control under the pointer.
#include "toolkit/Form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(WheelAccumulatorTest, GathersPartsIntoWholeNotchesAndStartsAfreshOnATurn) {
  struct TCase {
    const char* Name;
    std::vector<int> Deltas;
    std::vector<int> Notches; // after each delta
  };
  const TCase cases[] = {
      {"whole notches", {120, -120, 240}, {1, -1, 2}},
      {"thirds", {40, 40, 40, 40}, {0, 0, 1, 0}},
      {"parts that overshoot keep the rest", {100, 100, 100}, {0, 1, 1}},
      {"downwards", {-60, -60, -60}, {0, -1, 0}},
      {"a turn drops the rest", {90, -40, -40, -40, 60}, {0, 0, 0, -1, 0}},
      {"many notches in one delta", {1200}, {10}},
      {"extreme deltas", {2147483647, -2147483647 - 1}, {17895697, -17895697}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TWheelAccumulator wheel;
    std::vector<int> notches;
    for (const int delta : c.Deltas)
      notches.push_back(wheel.Add(delta));
    EXPECT_EQ(notches, c.Notches);
  }
}

struct TWheelEvent {
  std::string Control;
  TWheelAxis Axis;
  int Notches;
  int X;
  int Y;
  bool operator==(const TWheelEvent&) const = default;
};

class TWheelProbe : public TGraphicControl {
public:
  TWheelProbe(TForm* form, std::vector<TWheelEvent>& log, std::vector<std::string>& leaves,
              std::string name, TRect bounds, bool takesWheel)
      : TGraphicControl(form), FLog(log), FLeaves(leaves), FTakesWheel(takesWheel) {
    SetName(std::move(name));
    SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    SetParent(form);
  }
  bool MouseWheel(TShiftState, TWheelAxis axis, int notches, int x, int y) override {
    if (FTakesWheel)
      FLog.push_back({Name(), axis, notches, x, y});
    return FTakesWheel;
  }
  void MouseLeave() override { FLeaves.push_back(Name()); }

private:
  std::vector<TWheelEvent>& FLog;
  std::vector<std::string>& FLeaves;
  bool FTakesWheel;
};

// A 100 x 100 form drawn at 2: a backdrop that wants no wheel, and two
// controls that take it.
class FormWheelTest : public testing::Test {
protected:
  FormWheelTest() {
    form.SetClientSize(100, 100);
    form.SetScale(2);
    new TWheelProbe(&form, log, leaves, "back", {0, 0, 100, 100}, false);
    new TWheelProbe(&form, log, leaves, "a", {10, 10, 40, 40}, true);
    new TWheelProbe(&form, log, leaves, "b", {50, 10, 80, 40}, true);
  }

  std::vector<TWheelEvent> log;
  std::vector<std::string> leaves;
  TForm form{nullptr, nullptr};
};

TEST_F(FormWheelTest, TheControlUnderThePointerGetsTheNotchesInItsOwnPixels) {
  EXPECT_TRUE(form.MouseWheel(0, waVertical, 120, 30, 40));
  EXPECT_TRUE(form.MouseWheel(0, waHorizontal, -240, 110, 22));
  EXPECT_FALSE(form.MouseWheel(0, waVertical, 120, 190, 190)) << "the backdrop takes no wheel";
  EXPECT_EQ(log, (std::vector<TWheelEvent>{{"a", waVertical, 1, 10, 20},
                                           {"b", waHorizontal, -2, 10, 2}}));
}

TEST_F(FormWheelTest, PartsGatherOverOneControlAndStartAfreshOverAnother) {
  form.MouseWheel(0, waVertical, 60, 30, 30);
  form.MouseWheel(0, waVertical, 60, 30, 30);
  form.MouseWheel(0, waVertical, 60, 30, 30);
  // The half notch gathered over a is not b's.
  form.MouseWheel(0, waVertical, 60, 110, 30);
  form.MouseWheel(0, waVertical, 60, 110, 30);
  // Each axis has its own rest.
  form.MouseWheel(0, waHorizontal, 60, 110, 30);
  form.MouseWheel(0, waVertical, 60, 110, 30);
  const std::vector<int> notches = [&] {
    std::vector<int> n;
    for (const TWheelEvent& e : log)
      n.push_back(e.Notches);
    return n;
  }();
  EXPECT_EQ(notches, (std::vector<int>{0, 1, 0, 0, 1, 0, 0}));
  EXPECT_EQ(log[4].Control, "b");
}

TEST_F(FormWheelTest, LeavingAControlTellsIt) {
  form.MouseMove(0, 30, 30);
  form.MouseMove(0, 32, 30);
  form.MouseMove(0, 110, 30);                  // a to b
  form.MouseWheel(0, waVertical, 120, 30, 30); // b to a
  form.MouseLeave();                           // a out of the window
  form.MouseLeave();
  EXPECT_EQ(leaves, (std::vector<std::string>{"a", "b", "a"}));
}

} // namespace
