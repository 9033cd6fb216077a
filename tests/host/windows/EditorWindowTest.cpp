// The editor inside a host's window, driven with real mouse input (the
// system's input queue, hit testing, capture, double clicks) and checked
// against the screen: what the screen shows must be what the same state
// renders offscreen. Needs a display; the runner starts these under Xvfb.
#include "EditEvents.h"
#include "HostTestSupport.h"
#include "common/Win32HostWindow.h"

#include <cstdio>

namespace glowrasp::hosttest {
namespace {

using namespace glowrasp::win32test;

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr char kHostClass[] = "GlowraspTestHostWindow";

struct TAutomation {
  int Index;
  float Value;
  float ParameterAtCall;
};

void SendMouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof input);
  Pump(3);
}

// The pointer to a point of the screen, as a real move.
void MoveTo(POINT at) {
  SetCursorPos(at.x, at.y);
  SendMouse(MOUSEEVENTF_MOVE);
}

void Click(POINT at) {
  MoveTo(at);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  SendMouse(MOUSEEVENTF_LEFTUP);
}

// The editor's own back buffer, through the plug-in's snapshot request.
TPixels Snapshot(const host::Plugin& plugin) {
  TPixels pixels(kWidth * kHeight);
  TEditorSnapshot snapshot{kWidth, kHeight, pixels.data()};
  EXPECT_EQ(plugin.privateRequest(kEditorSnapshotCode, &snapshot), 1);
  return pixels;
}

std::string Difference(const TPixels& actual, const TPixels& expected) {
  std::size_t count = 0;
  std::size_t first = 0;
  for (std::size_t i = 0; i < actual.size(); ++i)
    if (actual[i] != expected[i] && count++ == 0)
      first = i;
  if (count == 0)
    return "";
  char text[128];
  std::snprintf(text, sizeof text, "%zu pixels differ, first at (%zu, %zu): %06x instead of %06x",
                count, first % kWidth, first / kWidth, actual[first], expected[first]);
  return text;
}

class EditorWindow : public ::testing::Test {
protected:
  void SetUp() override {
    host = CreateHostWindow(kHostClass, "Glowrasp test host", kWidth, kHeight);
    ASSERT_NE(host, nullptr);
    Pump(10);

    StartUp(plugin);
    StartUp(reference);
    plugin.onAutomation([this](int index, float value) {
      automations.push_back({index, value, plugin.getParameter(index)});
    });
    ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, host), 1);
    editor = GetWindow(host, GW_CHILD);
    ASSERT_NE(editor, nullptr);
    // The same editor offscreen: the rendering the screen is compared with.
    ASSERT_EQ(reference.dispatch(effEditOpen, 0, 0, nullptr), 1);
    Pump(10);
  }

  void TearDown() override {
    plugin.dispatch(effEditClose);
    reference.dispatch(effEditClose);
    if (host)
      DestroyWindow(host);
    Pump(2);
    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts().front();
  }

  static void StartUp(host::Plugin& instance) {
    instance.setSampleRate(44100.0f);
    instance.setBlockSize(512);
    instance.resume();
  }

  // The reference editor with the plug-in's parameter values.
  TPixels Reference() {
    for (int index = 0; index < host::kParamCount; ++index)
      reference.setParameter(index, plugin.getParameter(index));
    return Snapshot(reference);
  }

  // The screen catches up with the window a little later under X.
  void ExpectScreenShows(const TPixels& expected, const char* state) {
    std::string difference;
    for (int attempt = 0; attempt < 50; ++attempt) {
      difference = Difference(Screenshot(editor, kWidth, kHeight), expected);
      if (difference.empty())
        return;
      Pump(2);
    }
    ADD_FAILURE() << state << ": " << difference;
  }

  // A point of the editor in screen coordinates.
  POINT At(int x, int y) const {
    POINT point{x, y};
    ClientToScreen(editor, &point);
    return point;
  }

  host::Plugin plugin{Library()};
  host::Plugin reference{Library()};
  TMessageRecording messages{plugin};
  std::vector<TAutomation> automations;
  HWND host = nullptr;
  HWND editor = nullptr;
};

TEST_F(EditorWindow, IsADoubleClickingChildAtTheOriginOfTheHostWindow) {
  char name[64] = {};
  GetClassNameA(editor, name, sizeof name);
  EXPECT_STREQ(name, "KestruneGlowraspEditor");
  char caption[64] = {};
  GetWindowTextA(editor, caption, sizeof caption);
  EXPECT_STREQ(caption, "Kestrune Glowrasp");
  EXPECT_TRUE(GetClassLongA(editor, GCL_STYLE) & CS_DBLCLKS);
  EXPECT_TRUE(GetWindowLongA(editor, GWL_STYLE) & WS_CHILD);
  EXPECT_TRUE(IsWindowVisible(editor));
  RECT rect;
  GetWindowRect(editor, &rect);
  MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, kWidth);
  EXPECT_EQ(rect.bottom, kHeight);
  ExpectScreenShows(Reference(), "freshly opened");
}

TEST_F(EditorWindow, QuestionMarkShowsTheHelpAndAClickHidesIt) {
  const TPixels closed = Reference();
  ExpectScreenShows(closed, "before the click");
  Click(At(389, 15));
  const TPixels help = Snapshot(plugin);
  EXPECT_NE(Difference(help, closed), "") << "the help overlay did not appear";
  ExpectScreenShows(help, "help shown");
  Click(At(200, 120));
  ExpectScreenShows(closed, "help hidden again");
  EXPECT_TRUE(automations.empty());
}

TEST_F(EditorWindow, KnobDragAutomatesTheParameterAndDoubleClickResetsIt) {
  const POINT centre = At(30 + 37, 52 + 37);
  MoveTo(centre);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  // Horizontal travel is the fine adjustment, 1000 units per 10 pixels. The
  // drag ends outside the host's window: the editor keeps the mouse.
  for (int dx = 20; dx <= 400; dx += 20)
    MoveTo({centre.x + dx, centre.y});
  SendMouse(MOUSEEVENTF_LEFTUP);

  ASSERT_FALSE(automations.empty());
  for (const TAutomation& a : automations) {
    EXPECT_EQ(a.Index, host::kGain);
    EXPECT_EQ(a.ParameterAtCall, a.Value);
  }
  EXPECT_EQ(automations.back().Value, 0.54f);
  EXPECT_EQ(plugin.getParameter(host::kGain), 0.54f);
  ExpectScreenShows(Reference(), "after the drag");

  automations.clear();
  Click(centre);
  Click(centre);
  ASSERT_FALSE(automations.empty());
  EXPECT_EQ(automations.back().Value, 0.5f);
  EXPECT_EQ(plugin.getParameter(host::kGain), 0.5f);
  ExpectScreenShows(Reference(), "after the double click");
}

// The host hears the press, the values and the release, in that order, so a
// host recording in touch mode records exactly the span the knob was held.
TEST_F(EditorWindow, KnobGesturesFrameTheirAutomation) {
  TEditEvents recorder(plugin);
  const std::vector<std::string>& events = recorder.Events();
  const POINT centre = At(253 + 37, 52 + 37);
  MoveTo(centre);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  for (int dy = 10; dy <= 40; dy += 10)
    MoveTo({centre.x, centre.y - dy});
  SendMouse(MOUSEEVENTF_LEFTUP);
  ASSERT_GE(events.size(), 3u) << "no automation between begin and end";
  EXPECT_EQ(events.front(), "begin 2");
  EXPECT_EQ(events.back(), "end 2");
  for (std::size_t i = 1; i + 1 < events.size(); ++i)
    EXPECT_EQ(events[i], "automate 2") << "event " << i;

  // The system would pair the next press with the drag's press otherwise.
  Sleep(GetDoubleClickTime() + 100);
  recorder.Clear();
  Click(centre);
  Click(centre);
  // The first click of the pair is a touch that changes nothing.
  EXPECT_EQ(events,
            (std::vector<std::string>{"begin 2", "end 2", "begin 2", "automate 2", "end 2"}));
}

// A host's automation thread changes a parameter while the editor is open:
// that thread makes no window call at all, and the editor's own timer, on
// the window's thread, finds the change and paints it.
TEST_F(EditorWindow, ChangesFromAnotherThreadTouchNoWindow) {
  ExpectScreenShows(Reference(), "before the change");
  const TPixels before = Snapshot(plugin);
  ValidateRect(editor, nullptr);
  RunOnNewThread([this] { plugin.setParameter(host::kOutGain, 0.8f); });
  EXPECT_FALSE(GetUpdateRect(editor, nullptr, FALSE)) << "the host's thread invalidated the window";
  Pump(10);
  ExpectScreenShows(Reference(), "after the change");
  EXPECT_NE(Difference(Snapshot(plugin), before), "");
}

// ---- Wheel and typed values ---------------------------------------------------

using TEvents = std::vector<std::string>;

void SendWheel(DWORD flags, int delta) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.mouseData = static_cast<DWORD>(delta);
  SendInput(1, &input, sizeof input);
  Pump(3);
}

void SendKey(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

void TapKey(WORD key, bool shift = false) {
  if (shift)
    SendKey(VK_SHIFT, false);
  SendKey(key, false);
  SendKey(key, true);
  if (shift)
    SendKey(VK_SHIFT, true);
  Pump(3);
}

// Each character with the key and Shift state the keyboard layout gives it.
void Type(const char* text) {
  for (const char* c = text; *c; ++c) {
    const SHORT key = VkKeyScanA(*c);
    ASSERT_NE(key, -1) << "no key types '" << *c << "'";
    TapKey(LOBYTE(key), (HIBYTE(key) & 1) != 0);
  }
}

// The wheel's messages go to the window with the keyboard: here the editor,
// as a host that focuses its plug-in's window makes it. The knob under the
// pointer takes the notches, one touch for the burst.
TEST_F(EditorWindow, WheelNotchesGoToTheKnobUnderThePointer) {
  TEditEvents recorder(plugin);
  SetFocus(editor);
  Pump(2);
  MoveTo(At(253 + 37, 52 + 37));
  SendWheel(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
  SendWheel(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
  EXPECT_EQ(plugin.getParameter(host::kOutGain), 0.55f);
  // A smooth wheel's parts count once they make a notch.
  SendWheel(MOUSEEVENTF_WHEEL, -40);
  SendWheel(MOUSEEVENTF_WHEEL, -40);
  EXPECT_EQ(plugin.getParameter(host::kOutGain), 0.55f);
  SendWheel(MOUSEEVENTF_WHEEL, -40);
  EXPECT_EQ(plugin.getParameter(host::kOutGain), 0.525f);
  // Sideways, a fine step.
  SendWheel(MOUSEEVENTF_HWHEEL, WHEEL_DELTA);
  EXPECT_EQ(plugin.getParameter(host::kOutGain), 0.526f);
  MoveTo(At(200, 20));
  Pump(3);
  EXPECT_EQ(recorder.Events(),
            (TEvents{"begin 2", "automate 2", "automate 2", "automate 2", "automate 2", "end 2"}));

  recorder.Clear();
  MoveTo(At(30 + 37, 52 + 37));
  SendKey(VK_SHIFT, false);
  SendWheel(MOUSEEVENTF_WHEEL, -WHEEL_DELTA);
  SendKey(VK_SHIFT, true);
  EXPECT_EQ(plugin.getParameter(host::kGain), 0.499f) << "Shift makes a notch fine";
  // The editor's timer ends the touch once the hand rests.
  for (int i = 0; i < 100 && recorder.Events().size() < 3; ++i)
    Pump(2);
  EXPECT_EQ(recorder.Events(), (TEvents{"begin 0", "automate 0", "end 0"}));
  ExpectScreenShows(Reference(), "after the wheel");
}

// A double click on a read-out opens the field with the keyboard; Enter sets
// the value as one gesture and gives the keyboard back.
TEST_F(EditorWindow, TypedValueIsSetAndTheKeyboardGoesBack) {
  SetFocus(host);
  Pump(2);
  TEditEvents recorder(plugin);
  Click(At(66, 149));
  Click(At(66, 149));
  EXPECT_EQ(GetFocus(), editor) << "the field did not take the keyboard";
  Type("-3.5 dB");
  TapKey(VK_RETURN);
  EXPECT_EQ(GetFocus(), host) << "the keyboard was not given back";
  EXPECT_EQ(Text(plugin, effGetParamDisplay, host::kGain), "-3.5");
  EXPECT_EQ(recorder.Events(), (TEvents{"begin 0", "automate 0", "end 0"}));
  ExpectScreenShows(Reference(), "after typing");
}

TEST_F(EditorWindow, RefusedTextShowsRedAndEscapeLeavesTheValue) {
  SetFocus(host);
  Pump(2);
  Click(At(178, 149));
  Click(At(178, 149));
  Type("abc");
  TapKey(VK_RETURN);
  EXPECT_EQ(Snapshot(plugin)[139 * kWidth + 148], 0x6E1010u) << "the field is not marked";
  EXPECT_EQ(GetFocus(), editor) << "the field closed";
  TapKey(VK_ESCAPE);
  EXPECT_EQ(GetFocus(), host);
  EXPECT_EQ(plugin.getParameter(host::kIntensity), 1.0f);
  EXPECT_TRUE(automations.empty());
  ExpectScreenShows(Reference(), "after Escape");
}

} // namespace
} // namespace glowrasp::hosttest
