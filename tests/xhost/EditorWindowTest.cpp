// The editor in a real X server: opened in a host window through the
// dispatcher, driven by real pointer events, and checked through the plug-in's
// parameters and through what the server shows.
#include "host/EditEvents.h"
#include "host/HostTestSupport.h"
#include "hostlib/Editor.h"
#include "xhost/XSession.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace {

using glowrasp::hosttest::Library;
using glowrasp::hosttest::TEditEvents;
using glowrasp::hosttest::Text;
namespace host = glowrasp::host;

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr int kGain = 0;
constexpr int kIntensity = 1;
constexpr int kOutGain = 2;
constexpr unsigned kLeftButton = 1;
constexpr unsigned kRightButton = 3;

constexpr TPoint kHelpHotSpot{389, 15};
constexpr TPoint kKnobCentres[] = {{67, 89}, {179, 89}, {290, 89}};

void* WindowPointer(Window window) {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
}

TPixels Snapshot(const host::Plugin& plugin) {
  TPixels pixels{kWidth, kHeight, std::vector<std::uint32_t>(kWidth * kHeight)};
  TEditorSnapshot request{kWidth, kHeight, pixels.Data.data()};
  EXPECT_EQ(plugin.privateRequest(kEditorSnapshotCode, &request), 1);
  return pixels;
}

struct TAutomation {
  int Index;
  float Value;
  float ParameterAtCall; // what getParameter answered while the host was being told
};

void Start(host::Plugin& plugin) {
  plugin.setSampleRate(44100.0f);
  plugin.setBlockSize(512);
  plugin.resume();
}

class TXEditorTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(X) << "no X display: run under tests/run-with-xvfb.sh";
    Start(Effect);
    Effect.onAutomation([this](int index, float value) {
      Automations.push_back({index, value, Effect.getParameter(index)});
    });
    HostWindow = X.CreateHostWindow(kWidth, kHeight);
  }

  void TearDown() override {
    if (!X)
      return;
    X.ReleaseButtons();
    Effect.dispatch(effEditClose);
    X.DestroyWindow(HostWindow);
  }

  VstIntPtr OpenEditor() { return Effect.dispatch(effEditOpen, 0, 0, WindowPointer(HostWindow)); }

  // Opens the editor and waits until its window is on the screen.
  void ShowEditor() {
    ASSERT_EQ(OpenEditor(), 1);
    ASSERT_TRUE(IdleUntil(Effect, [this] {
      const auto children = X.Children(HostWindow);
      return children.size() == 1 && X.Viewable(children.front());
    })) << "the editor's window did not appear in the host window";
    EditorWindow = X.Children(HostWindow).front();
  }

  TPixels Screen() { return X.Screenshot(EditorWindow, kWidth, kHeight); }

  // Waits until the server shows `expected` in the editor's window.
  void ExpectScreenShows(const TPixels& expected, const char* what) {
    const bool shown = IdleUntil(Effect, [&] { return Screen() == expected; });
    EXPECT_TRUE(shown) << what << ": " << DescribeDifference(Screen(), expected);
  }

  void MoveTo(TPoint point) { X.MovePointerIn(EditorWindow, point.X, point.Y); }

  void Click(TPoint point, unsigned button = kLeftButton) {
    MoveTo(point);
    X.Press(button);
    X.Release(button);
  }

  void Drag(TPoint from, int dx, int dy) { X.DragIn(EditorWindow, from, dx, dy, kLeftButton); }

  // The help overlay covers the whole editor, so its picture depends on
  // nothing else. Learnt while no other input is on its way.
  void LearnHelpPicture() {
    const TPixels editor = Snapshot(Effect);
    Click(kHelpHotSpot);
    ASSERT_TRUE(IdleUntil(Effect, [&] { return Snapshot(Effect) != editor; }))
        << "the editor did not react to a click on the help hot spot";
    HelpPicture = Snapshot(Effect);
    Click(kHelpHotSpot);
    ASSERT_TRUE(IdleUntil(Effect, [&] { return Snapshot(Effect) == editor; }))
        << "the editor did not return from the help overlay";
  }

  // The plug-in reads its events in order, so everything sent before has been
  // handled once it shows the help for a later click; a second click hides it.
  void AwaitEditor() {
    ASSERT_FALSE(HelpPicture.Data.empty());
    Click(kHelpHotSpot);
    ASSERT_TRUE(IdleUntil(Effect, [&] { return Snapshot(Effect) == HelpPicture; }))
        << "the editor did not show the help for a click on the hot spot";
    Click(kHelpHotSpot);
    ASSERT_TRUE(IdleUntil(Effect, [&] { return Snapshot(Effect) != HelpPicture; }))
        << "the editor did not hide the help";
  }

  // A second instance with the same parameter values, its editor offscreen.
  TPixels OffscreenRendering() {
    host::Plugin other(Library());
    Start(other);
    EXPECT_EQ(other.dispatch(effEditOpen), 1);
    for (int i = 0; i < Effect.numParams(); ++i)
      other.setParameter(i, Effect.getParameter(i));
    other.dispatch(effEditIdle);
    TPixels pixels = Snapshot(other);
    other.dispatch(effEditClose);
    return pixels;
  }

  void SetParameter(VstInt32 index, float value) { Effect.setParameter(index, value); }
  float Parameter(VstInt32 index) { return Effect.getParameter(index); }

  TXSession X;
  host::Plugin Effect{Library()};
  std::vector<TAutomation> Automations;
  Window HostWindow = 0;
  Window EditorWindow = 0;
  TPixels HelpPicture;
};

// ---- Window lifecycle ------------------------------------------------------

TEST_F(TXEditorTest, RectIsKnownBeforeTheEditorOpens) {
  ERect* first = nullptr;
  ERect* second = nullptr;
  ASSERT_EQ(Effect.dispatch(effEditGetRect, 0, 0, &first), 1);
  ASSERT_EQ(Effect.dispatch(effEditGetRect, 0, 0, &second), 1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->top, 0);
  EXPECT_EQ(first->left, 0);
  EXPECT_EQ(first->bottom, kHeight);
  EXPECT_EQ(first->right, kWidth);
}

TEST_F(TXEditorTest, NoWindowBeforeSampleRateAndBlockSize) {
  host::Plugin fresh(Library());
  EXPECT_EQ(fresh.dispatch(effEditOpen, 0, 0, WindowPointer(HostWindow)), 0);
  fresh.dispatch(effEditIdle);
  XSync(X.Connection(), False);
  EXPECT_TRUE(X.Children(HostWindow).empty());
  fresh.dispatch(effEditClose);
}

TEST_F(TXEditorTest, OpeningTwiceLeavesOneWindowAndCloseRemovesIt) {
  ASSERT_EQ(OpenEditor(), 1);
  ShowEditor();
  EXPECT_EQ(X.Children(HostWindow).size(), 1u);

  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(X.Connection(), EditorWindow, &attributes));
  EXPECT_EQ(attributes.x, 0);
  EXPECT_EQ(attributes.y, 0);
  EXPECT_EQ(attributes.width, kWidth);
  EXPECT_EQ(attributes.height, kHeight);

  Effect.dispatch(effEditClose);
  EXPECT_TRUE(IdleUntil(Effect, [this] { return X.Children(HostWindow).empty(); }))
      << X.Children(HostWindow).size() << " windows left after effEditClose";
}

// Some hosts close an instance without closing its editor first: the window
// must go with the instance instead of staying behind in the host's window.
TEST_F(TXEditorTest, ClosingTheInstanceTakesAnOpenEditorWithIt) {
  auto other = std::make_unique<host::Plugin>(Library());
  Start(*other);
  ASSERT_EQ(other->dispatch(effEditOpen, 0, 0, WindowPointer(HostWindow)), 1);
  other->dispatch(effEditIdle);
  XSync(X.Connection(), False);
  ASSERT_EQ(X.Children(HostWindow).size(), 1u);
  other.reset();
  XSync(X.Connection(), False);
  EXPECT_TRUE(X.Children(HostWindow).empty());
}

TEST_F(TXEditorTest, RepeatedOpenAndCloseLeakNoWindowsAndNoFiles) {
  // The first cycle may set up what lives as long as the library.
  ShowEditor();
  Effect.dispatch(effEditClose);
  const int filesBefore = OpenFileCount();

  for (int cycle = 0; cycle < 100; ++cycle) {
    ASSERT_EQ(OpenEditor(), 1) << "cycle " << cycle;
    Effect.dispatch(effEditIdle);
    Effect.dispatch(effEditClose);
  }
  EXPECT_TRUE(IdleUntil(Effect, [this] { return X.Children(HostWindow).empty(); }))
      << X.Children(HostWindow).size() << " windows left";
  EXPECT_LE(OpenFileCount(), filesBefore);
}

TEST_F(TXEditorTest, ShowsItsPictureAgainAfterTheHostWindowWasHidden) {
  ShowEditor();
  const TPixels painted = Snapshot(Effect);
  ExpectScreenShows(painted, "first exposure");

  XUnmapWindow(X.Connection(), HostWindow);
  XSync(X.Connection(), False);
  XMapRaised(X.Connection(), HostWindow);
  XSync(X.Connection(), False);
  ExpectScreenShows(painted, "after the host window was shown again");
}

// Window managers, task lists and accessibility tools read the window text.
TEST_F(TXEditorTest, WindowCarriesTheCaption) {
  ShowEditor();
  Display* display = X.Connection();
  char* name = nullptr;
  ASSERT_NE(XFetchName(display, EditorWindow, &name), 0) << "no WM_NAME";
  EXPECT_STREQ(name, "Kestrune Glowrasp");
  XFree(name);

  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(display, EditorWindow, XInternAtom(display, "_NET_WM_NAME", False),
                               0, 64, False, utf8, &type, &format, &count, &after, &data),
            Success);
  EXPECT_EQ(type, utf8) << "no _NET_WM_NAME in UTF-8";
  EXPECT_EQ(format, 8);
  if (data) {
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), count), "Kestrune Glowrasp");
    XFree(data);
  }
}

// ---- Edit gestures -----------------------------------------------------------

// Real pointer input: the host hears the press, the values, the release.
TEST_F(TXEditorTest, KnobGesturesFrameTheirAutomation) {
  using TEvents = std::vector<std::string>;
  ShowEditor();
  LearnHelpPicture();
  TEditEvents events(Effect);
  Drag(kKnobCentres[kGain], 0, -40);
  AwaitEditor();
  const TEvents drag = events.Events();
  ASSERT_GE(drag.size(), 3u) << "no automation between begin and end";
  EXPECT_EQ(drag.front(), "begin 0");
  EXPECT_EQ(drag.back(), "end 0");
  for (std::size_t i = 1; i + 1 < drag.size(); ++i)
    EXPECT_EQ(drag[i], "automate 0") << "event " << i;

  SetParameter(kOutGain, 0.1f);
  events.Clear();
  Click(kKnobCentres[kOutGain]);
  Click(kKnobCentres[kOutGain]);
  AwaitEditor();
  // The first click of the pair is a touch that changes nothing.
  EXPECT_EQ(events.Events(), (TEvents{"begin 2", "end 2", "begin 2", "automate 2", "end 2"}));
}

// ---- Help overlay ----------------------------------------------------------

class TXHelpOverlayTest : public TXEditorTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(TXHelpOverlayTest, ShowsOnTheHotSpotAndHidesOnAnyPress) {
  ShowEditor();
  const TPixels editor = OffscreenRendering();
  ExpectScreenShows(editor, "the opened editor");

  Click(kHelpHotSpot, GetParam());
  ASSERT_TRUE(IdleUntil(Effect, [&] { return Snapshot(Effect) != editor; }))
      << "a click on the hot spot changed nothing";
  const TPixels help = Snapshot(Effect);
  ExpectScreenShows(help, "help overlay");

  // The overlay covers the read-outs and knobs: a host change shows nowhere.
  SetParameter(kGain, 0.9f);
  Effect.dispatch(effEditIdle);
  EXPECT_EQ(Snapshot(Effect), help);
  ExpectScreenShows(help, "help overlay after a host change");

  // A press over a knob lands on the overlay: it hides, the knob stays put.
  HelpPicture = help;
  Automations.clear();
  Drag(kKnobCentres[kIntensity], 0, -40);
  ASSERT_TRUE(IdleUntil(Effect, [&] { return Snapshot(Effect) != help; }))
      << "a press on the overlay did not hide it";
  AwaitEditor();
  EXPECT_FLOAT_EQ(Parameter(kIntensity), 1.0f);
  EXPECT_TRUE(Automations.empty());
  ExpectScreenShows(OffscreenRendering(), "the editor after the overlay was hidden");
}

INSTANTIATE_TEST_SUITE_P(Buttons, TXHelpOverlayTest, ::testing::Values(kLeftButton, kRightButton),
                         [](const auto& test) {
                           return std::string(test.param == kLeftButton ? "Left" : "Right");
                         });

// ---- Knob drags --------------------------------------------------------------

struct TDragCase {
  const char* Name;
  VstInt32 Knob;
  float Start; // set by the host before the drag
  TPoint Press;
  int Dx;
  int Dy;
  std::int32_t Expected; // in parameter units, 0 … 1000000
  const char* Display;
};

std::ostream& operator<<(std::ostream& out, const TDragCase& c) {
  return out << c.Name;
}

class TXKnobDragTest : public TXEditorTest, public ::testing::WithParamInterface<TDragCase> {};

TEST_P(TXKnobDragTest, ChangesTheParameterAndTellsTheHost) {
  const TDragCase& c = GetParam();
  SetParameter(c.Knob, c.Start);
  const float start = Parameter(c.Knob);
  ShowEditor();
  LearnHelpPicture();
  Automations.clear();

  Drag(c.Press, c.Dx, c.Dy);
  AwaitEditor();

  const float expected = static_cast<float>(c.Expected / 1e6);
  EXPECT_FLOAT_EQ(Parameter(c.Knob), expected);
  EXPECT_EQ(Text(Effect, effGetParamDisplay, c.Knob), c.Display);
  if (expected == start) {
    EXPECT_TRUE(Automations.empty());
  } else {
    ASSERT_FALSE(Automations.empty()) << "the host heard nothing of the drag";
    for (const TAutomation& call : Automations) {
      EXPECT_EQ(call.Index, c.Knob);
      EXPECT_FLOAT_EQ(call.ParameterAtCall, call.Value);
    }
    EXPECT_FLOAT_EQ(Automations.back().Value, expected);
  }
  ExpectScreenShows(OffscreenRendering(), "the editor after the drag");
}

const TDragCase kDragCases[] = {
    {"GainUp40", kGain, 0.5f, kKnobCentres[kGain], 0, -40, 550000, "4.8"},
    {"IntensityDown40", kIntensity, 1.0f, kKnobCentres[kIntensity], 0, 40, 900000, "90.0"},
    {"OutGainRight30", kOutGain, 0.5f, kKnobCentres[kOutGain], 30, 0, 503000, "0.3"},
    // Both axes add: 1.6 fine steps round to 2, 0.55 coarse steps to 1.
    {"GainDiagonal", kGain, 0.5f, kKnobCentres[kGain], 16, -11, 527000, "2.6"},
    {"OutGainClampsAtTheTop", kOutGain, 0.98f, kKnobCentres[kOutGain], 0, -60, 1000000, "48.0"},
    // The knob's corner lies outside its inscribed circle.
    {"PressOutsideTheCircle", kGain, 0.5f, {30 + 5, 52 + 5}, 0, -40, 500000, "0.0"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TXKnobDragTest, ::testing::ValuesIn(kDragCases),
                         [](const auto& test) { return std::string(test.param.Name); });

// ---- Double click --------------------------------------------------------------

struct TDoubleClickCase {
  const char* Name;
  VstInt32 Knob;
  float Start;
  float Default;
};

std::ostream& operator<<(std::ostream& out, const TDoubleClickCase& c) {
  return out << c.Name;
}

class TXDoubleClickTest : public TXEditorTest,
                          public ::testing::WithParamInterface<TDoubleClickCase> {};

TEST_P(TXDoubleClickTest, ReturnsTheKnobToItsDefault) {
  const TDoubleClickCase& c = GetParam();
  SetParameter(c.Knob, c.Start);
  ShowEditor();
  LearnHelpPicture();
  Automations.clear();

  Click(kKnobCentres[c.Knob]);
  Click(kKnobCentres[c.Knob]);
  AwaitEditor();

  EXPECT_FLOAT_EQ(Parameter(c.Knob), c.Default);
  ASSERT_EQ(Automations.size(), 1u) << "one automation for the double click, none else";
  EXPECT_EQ(Automations.front().Index, c.Knob);
  EXPECT_FLOAT_EQ(Automations.front().Value, c.Default);
  ExpectScreenShows(OffscreenRendering(), "the editor after the double click");
}

const TDoubleClickCase kDoubleClickCases[] = {
    {"Gain", kGain, 0.8f, 0.5f},
    {"Intensity", kIntensity, 0.3f, 1.0f},
    {"OutGain", kOutGain, 0.1f, 0.5f},
};

INSTANTIATE_TEST_SUITE_P(Knobs, TXDoubleClickTest, ::testing::ValuesIn(kDoubleClickCases),
                         [](const auto& test) { return std::string(test.param.Name); });

// ---- Content scale -------------------------------------------------------------

// The host follows the editor's resize requests, as hosts do.
class TXScaledEditorTest : public TXEditorTest {
protected:
  void SetUp() override {
    TXEditorTest::SetUp();
    Effect.onSizeWindow([this](int width, int height) {
      SizeRequests.emplace_back(width, height);
      XResizeWindow(X.Connection(), HostWindow, static_cast<unsigned>(width),
                    static_cast<unsigned>(height));
      return true;
    });
  }

  std::vector<std::pair<int, int>> SizeRequests;

  XWindowAttributes EditorAttributes() {
    XSync(X.Connection(), False);
    XWindowAttributes attributes{};
    EXPECT_TRUE(XGetWindowAttributes(X.Connection(), EditorWindow, &attributes));
    return attributes;
  }
};

TEST_F(TXScaledEditorTest, HostScaleWhileOpenResizesTheWindowAndTheRect) {
  ShowEditor();
  ASSERT_TRUE(host::setContentScale(Effect, 2));
  ASSERT_TRUE(IdleUntil(Effect, [this] { return EditorAttributes().width == 2 * kWidth; }));
  EXPECT_EQ(EditorAttributes().height, 2 * kHeight);
  const host::EditorSize rect = host::editorSize(Effect);
  EXPECT_EQ(rect.width, 2 * kWidth);
  EXPECT_EQ(rect.height, 2 * kHeight);
}

TEST_F(TXScaledEditorTest, TheUsersZoomAtOpenAsksTheHostForTheLargerWindow) {
  // The test script gives every run a configuration folder of its own.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  ASSERT_NE(config, nullptr);
  const std::filesystem::path file =
      std::filesystem::path(config) / "kestrune-glowrasp/editor.conf";
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << "zoom=150\n";
  ShowEditor();
  std::filesystem::remove(file);
  EXPECT_EQ(SizeRequests, (std::vector<std::pair<int, int>>{{603, 375}}));
  EXPECT_EQ(EditorAttributes().width, 603);
  EXPECT_EQ(host::editorSize(Effect).height, 375);
}

// The same physical gesture, twice as long on a screen twice as dense, gives
// the values the 1x drag cases above give.
class TXScaledKnobDragTest : public TXScaledEditorTest,
                             public ::testing::WithParamInterface<TDragCase> {};

TEST_P(TXScaledKnobDragTest, GivesTheValuesOfTheSameGestureAtOne) {
  const TDragCase& c = GetParam();
  SetParameter(c.Knob, c.Start);
  ASSERT_TRUE(host::setContentScale(Effect, 2));
  XResizeWindow(X.Connection(), HostWindow, 2 * kWidth, 2 * kHeight);
  ShowEditor();
  ASSERT_EQ(EditorAttributes().width, 2 * kWidth);

  Drag({2 * c.Press.X, 2 * c.Press.Y}, 2 * c.Dx, 2 * c.Dy);
  const float expected = static_cast<float>(c.Expected / 1e6);
  EXPECT_TRUE(IdleUntil(Effect, [&] { return Parameter(c.Knob) == expected; }))
      << "the parameter stayed at " << Parameter(c.Knob);
  EXPECT_EQ(Text(Effect, effGetParamDisplay, c.Knob), c.Display);
}

// The cases that change their parameter: a wait for the new value shows the
// drag has been handled.
INSTANTIATE_TEST_SUITE_P(Cases, TXScaledKnobDragTest,
                         ::testing::ValuesIn(kDragCases, kDragCases + 5),
                         [](const auto& test) { return std::string(test.param.Name); });

// ---- Wheel -------------------------------------------------------------------

using TEvents = std::vector<std::string>;

bool EndsWith(const TEvents& events, const std::string& last) {
  return !events.empty() && events.back() == last;
}

struct TWheelCase {
  const char* Name;
  VstInt32 Knob;
  float Start;
  unsigned Button; // 4 up, 5 down, 6 left, 7 right
  bool Shift;
  int Notches;
  std::int32_t Expected; // in parameter units, 0 … 1000000
};

std::ostream& operator<<(std::ostream& out, const TWheelCase& c) {
  return out << c.Name;
}

class TXWheelTest : public TXEditorTest, public ::testing::WithParamInterface<TWheelCase> {};

// However many notches, the host hears one touch around them.
TEST_P(TXWheelTest, NotchesStepTheKnobInOneGesture) {
  const TWheelCase& c = GetParam();
  SetParameter(c.Knob, c.Start);
  ShowEditor();
  TEditEvents events(Effect);
  MoveTo(kKnobCentres[c.Knob]);
  X.HoldShift(c.Shift);
  for (int i = 0; i < c.Notches; ++i) {
    X.Press(c.Button);
    X.Release(c.Button);
  }
  X.HoldShift(false);
  const float expected = static_cast<float>(c.Expected / 1e6);
  ASSERT_TRUE(IdleUntil(Effect, [&] { return Parameter(c.Knob) == expected; }))
      << "the parameter stayed at " << Parameter(c.Knob);
  MoveTo({200, 20}); // off the knob
  const std::string index = std::to_string(c.Knob);
  ASSERT_TRUE(IdleUntil(Effect, [&] { return EndsWith(events.Events(), "end " + index); }));
  TEvents wanted(static_cast<std::size_t>(c.Notches), "automate " + index);
  wanted.insert(wanted.begin(), "begin " + index);
  wanted.push_back("end " + index);
  EXPECT_EQ(events.Events(), wanted);
  ExpectScreenShows(OffscreenRendering(), "the editor after the wheel");
}

const TWheelCase kWheelCases[] = {
    {"UpIsACoarseStep", kGain, 0.5f, 4, false, 3, 575000},
    {"DownIsACoarseStep", kIntensity, 1.0f, 5, false, 2, 900000},
    {"ShiftMakesItFine", kOutGain, 0.5f, 4, true, 2, 502000},
    {"RightIsFine", kOutGain, 0.5f, 7, false, 1, 501000},
    {"LeftIsFine", kGain, 0.5f, 6, false, 4, 496000},
};

INSTANTIATE_TEST_SUITE_P(Cases, TXWheelTest, ::testing::ValuesIn(kWheelCases),
                         [](const auto& test) { return std::string(test.param.Name); });

TEST_F(TXEditorTest, TheWheelsGestureEndsWhenTheHandRests) {
  ShowEditor();
  TEditEvents events(Effect);
  MoveTo(kKnobCentres[kOutGain]);
  X.Press(4);
  X.Release(4);
  // The pointer stays on the knob: the editor's idle sees the pause.
  ASSERT_TRUE(IdleUntil(Effect, [&] { return EndsWith(events.Events(), "end 2"); }));
  EXPECT_EQ(events.Events(), (TEvents{"begin 2", "automate 2", "end 2"}));
}

// ---- Typed values --------------------------------------------------------------

constexpr TPoint kReadOuts[] = {{66, 149}, {178, 149}, {290, 149}};
constexpr std::uint32_t kRefusedFill = 0x6E1010;

class TXTypedValueTest : public TXEditorTest {
protected:
  // The host's window has the keyboard, as after a click into the host.
  void SetUp() override {
    TXEditorTest::SetUp();
    ShowEditor();
    XSetInputFocus(X.Connection(), HostWindow, RevertToParent, CurrentTime);
    XSync(X.Connection(), False);
  }

  void OpenField(VstInt32 index) {
    Click(kReadOuts[index]);
    Click(kReadOuts[index]);
    ASSERT_TRUE(IdleUntil(Effect, [&] { return X.KeyboardFocus() == EditorWindow; }))
        << "the field did not take the keyboard";
  }

  // Whether the field over the read-out shows a refused text.
  bool ShowsRefused(VstInt32 index) {
    return Snapshot(Effect).Data[static_cast<std::size_t>(kReadOuts[index].Y - 10) * kWidth +
                                 kReadOuts[index].X - 30] == kRefusedFill;
  }

  bool KeyboardBackWithTheHost() { return X.KeyboardFocus() == HostWindow; }
};

struct TTypedCase {
  const char* Name;
  VstInt32 Knob;
  const char* Typed;
  const char* Display;
};

std::ostream& operator<<(std::ostream& out, const TTypedCase& c) {
  return out << c.Name;
}

class TXTypedValueCaseTest : public TXTypedValueTest,
                             public ::testing::WithParamInterface<TTypedCase> {};

// The value is the one the host's own text entry (effString2Parameter) gives
// for the same text, set in one gesture, and the keyboard goes back.
TEST_P(TXTypedValueCaseTest, EnterSetsWhatTheHostsTextGives) {
  const TTypedCase& c = GetParam();
  TEditEvents events(Effect);
  OpenField(c.Knob);
  X.Type(c.Typed);
  X.TapKey(XK_Return);
  ASSERT_TRUE(IdleUntil(Effect, [&] { return KeyboardBackWithTheHost(); }))
      << "the keyboard stayed with the editor";
  EXPECT_EQ(Text(Effect, effGetParamDisplay, c.Knob), c.Display);
  const std::string index = std::to_string(c.Knob);
  EXPECT_EQ(events.Events(), (TEvents{"begin " + index, "automate " + index, "end " + index}));

  host::Plugin other(Library());
  Start(other);
  std::string text = c.Typed;
  ASSERT_EQ(other.dispatch(effString2Parameter, c.Knob, 0, text.data()), 1);
  EXPECT_EQ(Parameter(c.Knob), other.getParameter(c.Knob));
  ExpectScreenShows(OffscreenRendering(), "the editor after typing");
}

const TTypedCase kTypedCases[] = {
    {"GainWithItsUnit", kGain, "-3.5 dB", "-3.5"},
    {"GainBare", kGain, "6", "6.0"},
    {"GainWithADecimalComma", kGain, "6,5", "6.5"},
    {"IntensityInPercent", kIntensity, "50 %", "50.0"},
    {"OutGainBeyondTheRange", kOutGain, "60dB", "48.0"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TXTypedValueCaseTest, ::testing::ValuesIn(kTypedCases),
                         [](const auto& test) { return std::string(test.param.Name); });

TEST_F(TXTypedValueTest, ARefusedTextShowsRedUntilEscapeLeavesEverythingAsItWas) {
  TEditEvents events(Effect);
  OpenField(kGain);
  for (const char* refused : {"abc", "3 %", "--1"}) {
    SCOPED_TRACE(refused);
    X.TapKey(XK_Home);
    X.TapKey(XK_End, true);
    X.Type(refused);
    ASSERT_TRUE(IdleUntil(Effect, [&] { return !ShowsRefused(kGain); }));
    X.TapKey(XK_Return);
    ASSERT_TRUE(IdleUntil(Effect, [&] { return ShowsRefused(kGain); }))
        << "the field did not show the text refused";
    EXPECT_EQ(X.KeyboardFocus(), EditorWindow) << "the field stays open for correction";
  }
  X.TapKey(XK_Escape);
  ASSERT_TRUE(IdleUntil(Effect, [&] { return KeyboardBackWithTheHost(); }));
  EXPECT_FLOAT_EQ(Parameter(kGain), 0.5f);
  EXPECT_TRUE(events.Events().empty());
  ExpectScreenShows(OffscreenRendering(), "the editor after Escape");
}

TEST_F(TXTypedValueTest, AClickElsewhereCancels) {
  OpenField(kOutGain);
  X.Type("12");
  Click({200, 20});
  ASSERT_TRUE(IdleUntil(Effect, [&] { return KeyboardBackWithTheHost(); }));
  EXPECT_FLOAT_EQ(Parameter(kOutGain), 0.5f);
  EXPECT_TRUE(Automations.empty());
  ExpectScreenShows(OffscreenRendering(), "the editor after the click");
}

// Keys typed over the editor reach the host's window while no field is open,
// and only then.
TEST_F(TXTypedValueTest, KeysAreTheHostsWhileNoFieldIsOpen) {
  Display* display = X.Connection();
  XSelectInput(display, HostWindow, StructureNotifyMask | KeyPressMask);
  const auto hostGotAKey = [&] {
    XSync(display, False);
    XEvent event;
    return XCheckTypedWindowEvent(display, HostWindow, KeyPress, &event) == True;
  };
  MoveTo(kKnobCentres[kGain]);
  X.TapKey(XK_space);
  EXPECT_TRUE(IdleUntil(Effect, hostGotAKey)) << "the editor swallowed a key";

  OpenField(kGain);
  X.Type("7");
  X.TapKey(XK_Return);
  ASSERT_TRUE(IdleUntil(Effect, [&] { return KeyboardBackWithTheHost(); }));
  EXPECT_FALSE(hostGotAKey()) << "the host saw keys meant for the field";
  EXPECT_EQ(Text(Effect, effGetParamDisplay, kGain), "7.0");
  X.TapKey(XK_space);
  EXPECT_TRUE(IdleUntil(Effect, hostGotAKey)) << "the editor kept the keys after the field closed";
}

} // namespace
