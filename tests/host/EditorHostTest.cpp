// The editor opened without a window through the dispatcher, driven with the
// plug-in's private pointer requests and checked through its snapshot
// request, the host's parameters and the automation the host is told of.
#include "TestHost.h"
#include "vst/EditorSnapshot.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr VstInt32 kLeftHeld = 8;
constexpr VstInt32 kDoubleClick = 64;

using TPixels = std::vector<std::uint32_t>;
using TPoints = std::vector<std::pair<int, int>>;

struct TRect {
  int Left;
  int Top;
  int Width;
  int Height;
  bool Contains(const std::pair<int, int>& p) const {
    return p.first >= Left && p.first < Left + Width && p.second >= Top && p.second < Top + Height;
  }
};

// Each parameter's knob and read-out, in parameter order.
constexpr TRect kKnobs[] = {{30, 52, 74, 74}, {142, 52, 74, 74}, {253, 52, 74, 74}};
constexpr TRect kReadOuts[] = {{31, 137, 71, 24}, {143, 137, 71, 24}, {255, 137, 71, 24}};
constexpr std::pair<int, int> kKnobCentres[] = {{67, 89}, {179, 89}, {290, 89}};
constexpr std::pair<int, int> kHelpHotSpot{389, 15};

VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr) {
  return e->dispatcher(e, opcode, index, value, ptr, 0.0f);
}

VstIntPtr Pointer(AEffect* e, TEditorPointerKind kind, VstInt32 shift, int x, int y) {
  TEditorPointer pointer{kind, 0, shift, x, y};
  return Dispatch(e, effVendorSpecific, kEditorPointerCode, 0, &pointer);
}

void Click(AEffect* e, int x, int y, VstInt32 shift = kLeftHeld) {
  EXPECT_EQ(Pointer(e, epPress, shift, x, y), 1);
  EXPECT_EQ(Pointer(e, epRelease, 0, x, y), 1);
}

// A drag from a knob's centre, one pixel per move.
void DragVertically(AEffect* e, int param, int pixelsUp) {
  const auto [x, y] = kKnobCentres[param];
  ASSERT_EQ(Pointer(e, epPress, kLeftHeld, x, y), 1);
  const int step = pixelsUp > 0 ? 1 : -1;
  for (int moved = step; moved != pixelsUp + step; moved += step)
    ASSERT_EQ(Pointer(e, epMove, kLeftHeld, x, y - moved), 1);
  ASSERT_EQ(Pointer(e, epRelease, 0, x, y - pixelsUp), 1);
}

VstIntPtr RequestSnapshot(AEffect* e, TPixels& pixels, int width = kWidth) {
  pixels.assign(static_cast<std::size_t>(width) * kHeight, 0);
  TEditorSnapshot request{width, kHeight, pixels.data()};
  return Dispatch(e, effVendorSpecific, kEditorSnapshotCode, 0, &request);
}

// What the editor shows once it has done its pending repaints.
TPixels Snapshot(AEffect* e) {
  Dispatch(e, effEditIdle);
  TPixels pixels;
  EXPECT_EQ(RequestSnapshot(e, pixels), 1);
  return pixels;
}

TPoints Changed(const TPixels& a, const TPixels& b) {
  TPoints points;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (a[y * kWidth + x] != b[y * kWidth + x])
        points.emplace_back(x, y);
  return points;
}

// Changes confined to one parameter's knob and read-out, touching both.
void ExpectOnlyColumnChanged(const TPixels& before, const TPixels& after, int param) {
  int inKnob = 0;
  int inReadOut = 0;
  for (const auto& p : Changed(before, after)) {
    if (kKnobs[param].Contains(p))
      ++inKnob;
    else if (kReadOuts[param].Contains(p))
      ++inReadOut;
    else
      ADD_FAILURE() << "parameter " << param << " changed pixel " << p.first << ", " << p.second;
  }
  EXPECT_GT(inKnob, 0) << "knob of parameter " << param << " not repainted";
  EXPECT_GT(inReadOut, 0) << "read-out of parameter " << param << " not repainted";
}

class EditorHost : public ::testing::Test {
protected:
  void SetUp() override {
    e = Host.Open();
    ASSERT_NE(e, nullptr);
    TTestHost::Start(e);
    ASSERT_EQ(Dispatch(e, effEditOpen), 1);
  }
  void TearDown() override {
    if (e)
      Dispatch(e, effEditClose);
  }

  TTestHost Host;
  AEffect* e = nullptr;
};

} // namespace

TEST(EditorHostLifecycle, OpensWithoutWindowOnlyOnceStartedAndClosesEveryForm) {
  TTestHost host;
  AEffect* e = host.Open();
  ASSERT_NE(e, nullptr);
  TPixels pixels;
  EXPECT_EQ(Dispatch(e, effEditOpen), 0) << "opened before the sample rate was known";
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  EXPECT_EQ(Dispatch(e, effEditOpen), 0) << "opened before the block size was known";
  EXPECT_EQ(RequestSnapshot(e, pixels), 0);

  Dispatch(e, effSetBlockSize, 0, 512);
  EXPECT_EQ(Dispatch(e, effEditOpen), 1);
  EXPECT_EQ(RequestSnapshot(e, pixels), 1);
  EXPECT_NE(std::count(pixels.begin(), pixels.end(), 0u), kWidth * kHeight) << "nothing painted";
  EXPECT_EQ(RequestSnapshot(e, pixels, kWidth - 1), 0) << "a buffer of the wrong size";

  EXPECT_EQ(Dispatch(e, effEditOpen), 1);
  Dispatch(e, effEditClose);
  EXPECT_EQ(RequestSnapshot(e, pixels), 0) << "a form survived the close";
  EXPECT_EQ(Pointer(e, epPress, kLeftHeld, 67, 89), 0);
  Dispatch(e, effEditClose);
  EXPECT_EQ(Dispatch(e, effEditIdle), 0);
}

TEST_F(EditorHost, VerticalDragAutomatesEachNewValueOnce) {
  const TPixels before = Snapshot(e);
  DragVertically(e, 0, 40);

  // 11 pixels up make one coarse step of 25000, 30 pixels (1.5 steps) two.
  std::vector<float> values;
  for (const TAutomateCall& call : Host.Automations) {
    EXPECT_EQ(call.Effect, e);
    EXPECT_EQ(call.Index, 0);
    EXPECT_EQ(call.ParameterAtCall, call.Value);
    values.push_back(call.Value);
  }
  EXPECT_EQ(values, (std::vector<float>{0.525f, 0.55f}));
  EXPECT_EQ(e->getParameter(e, 0), 0.55f);
  EXPECT_EQ(TTestHost::Text(e, effGetParamDisplay, 0), "4.8");
  ExpectOnlyColumnChanged(before, Snapshot(e), 0);
}

TEST_F(EditorHost, DoubleClickReturnsAKnobToItsDefault) {
  const TPixels initial = Snapshot(e);
  DragVertically(e, 1, -40);
  ASSERT_EQ(e->getParameter(e, 1), 0.9f);
  Host.Automations.clear();

  const auto [x, y] = kKnobCentres[1];
  Click(e, x, y, kLeftHeld | kDoubleClick);
  EXPECT_EQ(e->getParameter(e, 1), 1.0f);
  ASSERT_EQ(Host.Automations.size(), 1u);
  EXPECT_EQ(Host.Automations[0].Index, 1);
  EXPECT_EQ(Host.Automations[0].Value, 1.0f);
  EXPECT_EQ(Changed(initial, Snapshot(e)).size(), 0u);
}

TEST_F(EditorHost, HelpOverlayCoversEverythingUntilClicked) {
  const TPixels editor = Snapshot(e);
  Click(e, kHelpHotSpot.first, kHelpHotSpot.second);
  const TPixels help = Snapshot(e);
  const TPoints changed = Changed(editor, help);
  ASSERT_FALSE(changed.empty()) << "the overlay did not appear";
  const auto [left, right] = std::minmax_element(
      changed.begin(), changed.end(), [](auto& a, auto& b) { return a.first < b.first; });
  const auto [top, bottom] = std::minmax_element(
      changed.begin(), changed.end(), [](auto& a, auto& b) { return a.second < b.second; });
  EXPECT_LT(left->first, 10);
  EXPECT_GT(right->first, kWidth - 10);
  EXPECT_LT(top->second, 10);
  EXPECT_GT(bottom->second, kHeight - 10);

  // The host may automate while the help is up; nothing may show through.
  for (const float value : {0.8f, 0.5f}) {
    e->setParameter(e, 0, value);
    EXPECT_EQ(Changed(help, Snapshot(e)).size(), 0u) << "Gain " << value << " showed through";
  }

  Click(e, 200, 200);
  EXPECT_EQ(Changed(editor, Snapshot(e)).size(), 0u) << "hiding the overlay left traces";
  EXPECT_TRUE(Host.Automations.empty());
}

TEST_F(EditorHost, HostChangeRepaintsOnlyThatParametersKnobAndReadOut) {
  for (int param = 0; param < 3; ++param) {
    const TPixels before = Snapshot(e);
    e->setParameter(e, param, 0.25f);
    ExpectOnlyColumnChanged(before, Snapshot(e), param);
  }
  EXPECT_TRUE(Host.Automations.empty()) << "host changes echoed back as automation";
}

TEST_F(EditorHost, TwoEditorsOpenAtOnceAreIndependent) {
  AEffect* other = Host.Open();
  ASSERT_NE(other, nullptr);
  TTestHost::Start(other);
  ASSERT_EQ(Dispatch(other, effEditOpen), 1);
  const TPixels mine = Snapshot(e);
  const TPixels theirs = Snapshot(other);
  EXPECT_EQ(mine, theirs);

  DragVertically(e, 2, 40);
  EXPECT_EQ(e->getParameter(e, 2), 0.55f);
  EXPECT_EQ(other->getParameter(other, 2), 0.5f);
  ASSERT_FALSE(Host.Automations.empty());
  for (const TAutomateCall& call : Host.Automations)
    EXPECT_EQ(call.Effect, e);
  ExpectOnlyColumnChanged(mine, Snapshot(e), 2);
  EXPECT_EQ(Changed(theirs, Snapshot(other)).size(), 0u);

  Click(other, kHelpHotSpot.first, kHelpHotSpot.second);
  EXPECT_NE(Changed(theirs, Snapshot(other)).size(), 0u);
  Dispatch(other, effEditClose);
  ExpectOnlyColumnChanged(mine, Snapshot(e), 2);
}
