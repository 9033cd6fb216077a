// The editor opened without a window through the dispatcher, driven with the
// plug-in's private pointer requests and checked through its snapshot
// request, the host's parameters and the automation the host is told of.
#include "EditEvents.h"
#include "HostTestSupport.h"
#include "hostlib/Editor.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace glowrasp::hosttest {
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

struct TAutomation {
  int Index;
  float Value;
  float ParameterAtCall; // what getParameter answered while the host was being told
};

VstIntPtr Pointer(const host::Plugin& plugin, TEditorPointerKind kind, VstInt32 shift, int x,
                  int y) {
  TEditorPointer pointer{kind, 0, shift, x, y};
  return plugin.privateRequest(kEditorPointerCode, &pointer);
}

void Click(const host::Plugin& plugin, int x, int y, VstInt32 shift = kLeftHeld) {
  EXPECT_EQ(Pointer(plugin, epPress, shift, x, y), 1);
  EXPECT_EQ(Pointer(plugin, epRelease, 0, x, y), 1);
}

// A drag from a knob's centre, one pixel per move.
void DragVertically(const host::Plugin& plugin, int param, int pixelsUp) {
  const auto [x, y] = kKnobCentres[param];
  ASSERT_EQ(Pointer(plugin, epPress, kLeftHeld, x, y), 1);
  const int step = pixelsUp > 0 ? 1 : -1;
  for (int moved = step; moved != pixelsUp + step; moved += step)
    ASSERT_EQ(Pointer(plugin, epMove, kLeftHeld, x, y - moved), 1);
  ASSERT_EQ(Pointer(plugin, epRelease, 0, x, y - pixelsUp), 1);
}

VstIntPtr RequestSnapshot(const host::Plugin& plugin, TPixels& pixels, int width = kWidth) {
  pixels.assign(static_cast<std::size_t>(width) * kHeight, 0);
  TEditorSnapshot request{width, kHeight, pixels.data()};
  return plugin.privateRequest(kEditorSnapshotCode, &request);
}

// What the editor shows once it has done its pending repaints.
TPixels Snapshot(const host::OpenEditor& editor) {
  editor.idle();
  return editor.snapshot().pixels;
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

void Start(host::Plugin& plugin) {
  plugin.setSampleRate(44100.0f);
  plugin.setBlockSize(512);
  plugin.resume();
}

class EditorHost : public ::testing::Test {
protected:
  void SetUp() override {
    Start(plugin);
    plugin.onAutomation([this](int index, float value) {
      automations.push_back({index, value, plugin.getParameter(index)});
    });
    editor = std::make_unique<host::OpenEditor>(plugin, nullptr);
    ASSERT_EQ(editor->size().width, kWidth);
    ASSERT_EQ(editor->size().height, kHeight);
  }

  host::Plugin plugin{Library()};
  std::vector<TAutomation> automations;
  std::unique_ptr<host::OpenEditor> editor;
};

} // namespace

TEST(EditorHostLifecycle, OpensWithoutWindowOnlyOnceStartedAndClosesEveryForm) {
  host::Plugin plugin(Library());
  TPixels pixels;
  EXPECT_EQ(plugin.dispatch(effEditOpen), 0) << "opened before the sample rate was known";
  plugin.setSampleRate(44100.0f);
  EXPECT_EQ(plugin.dispatch(effEditOpen), 0) << "opened before the block size was known";
  EXPECT_EQ(RequestSnapshot(plugin, pixels), 0);

  plugin.setBlockSize(512);
  EXPECT_EQ(plugin.dispatch(effEditOpen), 1);
  EXPECT_EQ(RequestSnapshot(plugin, pixels), 1);
  EXPECT_NE(std::count(pixels.begin(), pixels.end(), 0u), kWidth * kHeight) << "nothing painted";
  EXPECT_EQ(RequestSnapshot(plugin, pixels, kWidth - 1), 0) << "a buffer of the wrong size";

  EXPECT_EQ(plugin.dispatch(effEditOpen), 1);
  plugin.dispatch(effEditClose);
  EXPECT_EQ(RequestSnapshot(plugin, pixels), 0) << "a form survived the close";
  EXPECT_EQ(Pointer(plugin, epPress, kLeftHeld, 67, 89), 0);
  plugin.dispatch(effEditClose);
  EXPECT_EQ(plugin.dispatch(effEditIdle), 0);
}

TEST_F(EditorHost, VerticalDragAutomatesEachNewValueOnce) {
  const TPixels before = Snapshot(*editor);
  DragVertically(plugin, host::kGain, 40);

  // 11 pixels up make one coarse step of 25000, 30 pixels (1.5 steps) two.
  std::vector<float> values;
  for (const TAutomation& call : automations) {
    EXPECT_EQ(call.Index, host::kGain);
    EXPECT_EQ(call.ParameterAtCall, call.Value);
    values.push_back(call.Value);
  }
  EXPECT_EQ(values, (std::vector<float>{0.525f, 0.55f}));
  EXPECT_EQ(plugin.getParameter(host::kGain), 0.55f);
  EXPECT_EQ(plugin.paramDisplay(host::kGain), WithUserSeparator("4.8"));
  ExpectOnlyColumnChanged(before, Snapshot(*editor), host::kGain);
}

TEST_F(EditorHost, DoubleClickReturnsAKnobToItsDefault) {
  const TPixels initial = Snapshot(*editor);
  DragVertically(plugin, host::kIntensity, -40);
  ASSERT_EQ(plugin.getParameter(host::kIntensity), 0.9f);
  automations.clear();

  const auto [x, y] = kKnobCentres[host::kIntensity];
  Click(plugin, x, y, kLeftHeld | kDoubleClick);
  EXPECT_EQ(plugin.getParameter(host::kIntensity), 1.0f);
  ASSERT_EQ(automations.size(), 1u);
  EXPECT_EQ(automations[0].Index, host::kIntensity);
  EXPECT_EQ(automations[0].Value, 1.0f);
  EXPECT_EQ(Changed(initial, Snapshot(*editor)).size(), 0u);
}

// Hosts recording in touch mode record from the press to the release.
TEST_F(EditorHost, KnobGesturesFrameTheirAutomation) {
  using TEvents = std::vector<std::string>;
  TEditEvents events(plugin);
  DragVertically(plugin, host::kGain, 40);
  EXPECT_EQ(events.Events(), (TEvents{"begin 0", "automate 0", "automate 0", "end 0"}));

  plugin.setParameter(host::kOutGain, 0.8f);
  events.Clear();
  const auto [x, y] = kKnobCentres[host::kOutGain];
  Click(plugin, x, y, kLeftHeld | kDoubleClick);
  EXPECT_EQ(events.Events(), (TEvents{"begin 2", "automate 2", "end 2"}));

  // Held without moving: a touch that changes nothing.
  events.Clear();
  Click(plugin, x, y);
  EXPECT_EQ(events.Events(), (TEvents{"begin 2", "end 2"}));

  // Outside the knob's circle nothing is taken hold of.
  events.Clear();
  Click(plugin, 30, 52);
  EXPECT_TRUE(events.Events().empty());

  // Closing the editor while a knob is held lets go of it.
  events.Clear();
  ASSERT_EQ(Pointer(plugin, epPress, kLeftHeld, 179, 89), 1);
  ASSERT_EQ(Pointer(plugin, epMove, kLeftHeld, 179, 100), 1);
  editor.reset();
  EXPECT_EQ(events.Events(), (TEvents{"begin 1", "automate 1", "end 1"}));
}

TEST_F(EditorHost, HelpOverlayCoversEverythingUntilClicked) {
  const TPixels closed = Snapshot(*editor);
  Click(plugin, kHelpHotSpot.first, kHelpHotSpot.second);
  const TPixels help = Snapshot(*editor);
  const TPoints changed = Changed(closed, help);
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
    plugin.setParameter(host::kGain, value);
    EXPECT_EQ(Changed(help, Snapshot(*editor)).size(), 0u) << "Gain " << value << " showed through";
  }

  Click(plugin, 200, 200);
  EXPECT_EQ(Changed(closed, Snapshot(*editor)).size(), 0u) << "hiding the overlay left traces";
  EXPECT_TRUE(automations.empty());
}

TEST_F(EditorHost, HostChangeRepaintsOnlyThatParametersKnobAndReadOut) {
  for (int param = 0; param < host::kParamCount; ++param) {
    const TPixels before = Snapshot(*editor);
    plugin.setParameter(param, 0.25f);
    ExpectOnlyColumnChanged(before, Snapshot(*editor), param);
  }
  EXPECT_TRUE(automations.empty()) << "host changes echoed back as automation";
}

TEST_F(EditorHost, TwoEditorsOpenAtOnceAreIndependent) {
  host::Plugin other(Library());
  Start(other);
  other.onAutomation([](int index, float) {
    ADD_FAILURE() << "the other instance automated parameter " << index;
  });
  auto otherEditor = std::make_unique<host::OpenEditor>(other, nullptr);
  const TPixels mine = Snapshot(*editor);
  const TPixels theirs = Snapshot(*otherEditor);
  EXPECT_EQ(mine, theirs);

  DragVertically(plugin, host::kOutGain, 40);
  EXPECT_EQ(plugin.getParameter(host::kOutGain), 0.55f);
  EXPECT_EQ(other.getParameter(host::kOutGain), 0.5f);
  EXPECT_FALSE(automations.empty());
  ExpectOnlyColumnChanged(mine, Snapshot(*editor), host::kOutGain);
  EXPECT_EQ(Changed(theirs, Snapshot(*otherEditor)).size(), 0u);

  otherEditor->click(kHelpHotSpot.first, kHelpHotSpot.second);
  EXPECT_NE(Changed(theirs, Snapshot(*otherEditor)).size(), 0u);
  otherEditor.reset();
  ExpectOnlyColumnChanged(mine, Snapshot(*editor), host::kOutGain);
}

} // namespace glowrasp::hosttest
