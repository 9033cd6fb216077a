// The LV2 UI in a real X server: made from its descriptor inside a host
// window, driven by XTest input and by port events, and compared with what
// the VST build's editor paints offscreen.
#include "LV2UIHost.h"
#include "hostlib/PluginHost.h"
#include "xhost/VstRendering.h"
#include "xhost/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr unsigned kLeftButton = 1;

enum TPort : std::uint32_t { kGainPort = 4, kIntensityPort = 5, kOutGainPort = 6 };

float DecibelsToHost(float db) {
  return static_cast<float>(db / 96.0 + 0.5);
}

class TLV2UITest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(X) << "no X display: run under tests/run-with-xvfb.sh";
    ASSERT_NE(Host.Descriptor(), nullptr);
    HostWindow = X.CreateHostWindow(kWidth, kHeight);
  }
  void TearDown() override {
    if (!X)
      return;
    X.ReleaseButtons();
    Host.Close();
    X.DestroyWindow(HostWindow);
  }

  // Opens the UI and waits until its window is on the screen.
  void ShowUI() {
    ASSERT_NE(Host.Open(HostWindow), nullptr);
    UIWindow = static_cast<Window>(reinterpret_cast<std::uintptr_t>(Host.Widget));
    ASSERT_TRUE(Host.IdleUntil([this] { return X.Viewable(UIWindow); }))
        << "the UI's window did not appear";
  }

  TPixels Screen() { return X.Screenshot(UIWindow, kWidth, kHeight); }

  void ExpectScreenShows(const TPixels& expected, const char* what) {
    const bool shown = Host.IdleUntil([&] { return Screen() == expected; });
    EXPECT_TRUE(shown) << what << ": " << DescribeDifference(Screen(), expected);
  }

  void MoveTo(TPoint point) { X.MovePointerIn(UIWindow, point.X, point.Y); }

  void Drag(TPoint from, int dx, int dy) { X.DragIn(UIWindow, from, dx, dy, kLeftButton); }

  bool Ungrabbed(std::uint32_t port) const {
    return std::find(Host.Events.begin(), Host.Events.end(),
                     THostEvent{THostEvent::heUngrab, port, 0}) != Host.Events.end();
  }

  TXSession X;
  TUIHost Host;
  Window HostWindow = 0;
  Window UIWindow = 0;
};

TEST_F(TLV2UITest, EmbedsItsFixedSizeWindowInTheHostsWindow) {
  ShowUI();
  EXPECT_EQ(X.Children(HostWindow), std::vector<Window>{UIWindow});
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(X.Connection(), UIWindow, &attributes));
  EXPECT_EQ(attributes.x, 0);
  EXPECT_EQ(attributes.y, 0);
  EXPECT_EQ(attributes.width, kWidth);
  EXPECT_EQ(attributes.height, kHeight);
  EXPECT_EQ(Host.Resizes, (std::vector<std::pair<int, int>>{{kWidth, kHeight}}));
  EXPECT_EQ(Host.Idle(), 0);
  EXPECT_TRUE(Host.Events.empty()) << "opening the UI tells the host nothing";

  Host.Close();
  XSync(X.Connection(), False);
  EXPECT_TRUE(X.Children(HostWindow).empty()) << "cleanup leaves a window behind";
}

TEST_F(TLV2UITest, TheHostsScaleFactorSizesTheWindowAndTheResizeRequest) {
  ASSERT_NE(Host.Open(HostWindow, 2), nullptr);
  UIWindow = static_cast<Window>(reinterpret_cast<std::uintptr_t>(Host.Widget));
  ASSERT_TRUE(Host.IdleUntil([this] { return X.Viewable(UIWindow); }));
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(X.Connection(), UIWindow, &attributes));
  EXPECT_EQ(attributes.width, 2 * kWidth);
  EXPECT_EQ(attributes.height, 2 * kHeight);
  EXPECT_EQ(Host.Resizes, (std::vector<std::pair<int, int>>{{2 * kWidth, 2 * kHeight}}));

  // A later change through the options interface resizes again.
  EXPECT_EQ(Host.SetScale(1.5f), static_cast<std::uint32_t>(LV2_OPTIONS_SUCCESS));
  Host.Idle();
  XSync(X.Connection(), False);
  ASSERT_TRUE(XGetWindowAttributes(X.Connection(), UIWindow, &attributes));
  EXPECT_EQ(attributes.width, 603);
  EXPECT_EQ(attributes.height, 375);
  EXPECT_EQ(Host.Resizes.back(), (std::pair<int, int>{603, 375}));
}

TEST_F(TLV2UITest, WithoutAParentWindowThereIsNoUI) {
  EXPECT_EQ(Host.Open(0), nullptr);
}

TEST_F(TLV2UITest, ShowsWhatTheVstEditorPaints) {
  ShowUI();
  ExpectScreenShows(VstRendering(0.5f, 1.0f, 0.5f), "the UI at the defaults");
}

TEST_F(TLV2UITest, PortEventsMoveKnobsAndReadOutsWithoutEcho) {
  ShowUI();
  Host.PortEvent(kGainPort, 12.0f);
  Host.PortEvent(kIntensityPort, 33.3f);
  Host.PortEvent(kOutGainPort, -20.0f);
  // Ports the UI shows nothing of, and values in no protocol it knows, change nothing.
  Host.PortEvent(7, 6.0f);
  Host.PortEvent(8, 0.0f);
  Host.PortEvent(99, 1.0f);
  const float ignored = 48.0f;
  Host.Descriptor()->port_event(nullptr, kGainPort, sizeof ignored, 0, &ignored);
  ExpectScreenShows(VstRendering(DecibelsToHost(12), 0.333f, DecibelsToHost(-20)),
                    "the UI after the port events");
  EXPECT_TRUE(Host.Events.empty()) << "a value from the host went back to it";
}

TEST_F(TLV2UITest, DoubleClickWritesTheDefaultInsideATouch) {
  ShowUI();
  Host.PortEvent(kGainPort, 30.0f);
  Host.Idle();
  for (int click = 0; click < 2; ++click) {
    MoveTo({67, 89});
    X.Press(kLeftButton);
    X.Release(kLeftButton);
  }
  const auto count = [&](THostEvent::TKind kind) {
    return std::count_if(Host.Events.begin(), Host.Events.end(),
                         [&](const THostEvent& e) { return e.Kind == kind; });
  };
  ASSERT_TRUE(Host.IdleUntil([&] {
    return count(THostEvent::heWrite) == 1 && count(THostEvent::heGrab) == 2 &&
           count(THostEvent::heUngrab) == 2;
  })) << ::testing::PrintToString(Host.Events);
  // One gesture for the first press, one around the reset of the second.
  const auto write = std::find_if(Host.Events.begin(), Host.Events.end(), [](const THostEvent& e) {
    return e.Kind == THostEvent::heWrite;
  });
  ASSERT_NE(write, Host.Events.begin());
  ASSERT_NE(write + 1, Host.Events.end());
  EXPECT_EQ(*write, (THostEvent{THostEvent::heWrite, kGainPort, 0.0f}));
  EXPECT_EQ(*(write - 1), (THostEvent{THostEvent::heGrab, kGainPort, 0}));
  EXPECT_EQ(*(write + 1), (THostEvent{THostEvent::heUngrab, kGainPort, 0}));
}

} // namespace
