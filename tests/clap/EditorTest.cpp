// The CLAP editor in a real X server: embedded in a host window, driven by
// the host's timer and by the X connection's descriptor, painting what the
// VST 2 editor paints, and its gestures going out with processing in order.
// (A drag's gesture and the zoom kept in the state are cross-format cases,
// tests/formats.)
#include "ClapTestSupport.h"
#include "hostlib/PluginHost.h"
#include "xhost/VstRendering.h"
#include "xhost/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>

namespace glowrasp::clap_test {
namespace {

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr unsigned kLeftButton = 1;

clap_window_t X11Window(Window window) {
  clap_window_t w{};
  w.api = CLAP_WINDOW_API_X11;
  w.x11 = window;
  return w;
}

class TClapEditorTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(X) << "no X display: run under tests/run-with-xvfb.sh";
    Gui = Host->Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    ASSERT_NE(Gui, nullptr);
    HostWindow = X.CreateHostWindow(kWidth, kHeight);
  }
  void TearDown() override {
    if (!X)
      return;
    X.ReleaseButtons();
    Gui->destroy(Host->Plugin());
    X.DestroyWindow(HostWindow);
  }

  // Creates the editor in the host window, as hosts do, and waits until it shows.
  void Open() {
    ASSERT_TRUE(Gui->create(Host->Plugin(), CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE(Gui->set_scale(Host->Plugin(), 1.0));
    const clap_window_t parent = X11Window(HostWindow);
    ASSERT_TRUE(Gui->set_parent(Host->Plugin(), &parent));
    ASSERT_TRUE(Gui->show(Host->Plugin()));
    ASSERT_TRUE(RunUntil([&] {
      const auto children = X.Children(HostWindow);
      return children.size() == 1 && X.Viewable(children[0]);
    })) << "the editor's window did not appear";
    EditorWindow = X.Children(HostWindow)[0];
  }

  // The host's event loop until `done` holds or a generous deadline passes.
  bool RunUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      Host->RunEventLoopOnce();
      if (done())
        return true;
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  TPixels Screen() { return X.Screenshot(EditorWindow, kWidth, kHeight); }

  void ExpectScreenShows(const TPixels& expected, const char* what) {
    const bool shown = RunUntil([&] { return Screen() == expected; });
    EXPECT_TRUE(shown) << what << ": " << DescribeDifference(Screen(), expected);
  }

  // What the plug-in has for the host after a gesture: a flush's output.
  std::vector<TOutputEvent> Gestures() {
    TOutputEvents out;
    Host->Flush(nullptr, &out);
    return out.Events;
  }

  TXSession X;
  std::unique_ptr<TClapHost> Host = NewPlugin(false);
  const clap_plugin_gui_t* Gui = nullptr;
  Window HostWindow = 0;
  Window EditorWindow = 0;
};

TEST_F(TClapEditorTest, OffersOnlyAnEmbeddedWindowOfOneSize) {
  const clap_plugin_t* p = Host->Plugin();
  EXPECT_TRUE(Gui->is_api_supported(p, CLAP_WINDOW_API_X11, false));
  EXPECT_FALSE(Gui->is_api_supported(p, CLAP_WINDOW_API_X11, true));
  EXPECT_FALSE(Gui->is_api_supported(p, CLAP_WINDOW_API_WIN32, false));
  EXPECT_FALSE(Gui->is_api_supported(p, nullptr, false));
  const char* api = nullptr;
  bool floating = true;
  ASSERT_TRUE(Gui->get_preferred_api(p, &api, &floating));
  EXPECT_STREQ(api, CLAP_WINDOW_API_X11);
  EXPECT_FALSE(floating);
  EXPECT_FALSE(Gui->create(p, CLAP_WINDOW_API_WIN32, false));
  EXPECT_FALSE(Gui->create(p, CLAP_WINDOW_API_X11, true));

  ASSERT_TRUE(Gui->create(p, CLAP_WINDOW_API_X11, false));
  EXPECT_FALSE(Gui->can_resize(p));
  std::uint32_t width = 0, height = 0;
  ASSERT_TRUE(Gui->get_size(p, &width, &height));
  EXPECT_EQ(width, static_cast<std::uint32_t>(kWidth));
  EXPECT_EQ(height, static_cast<std::uint32_t>(kHeight));
  EXPECT_TRUE(Gui->set_size(p, kWidth, kHeight));
  EXPECT_FALSE(Gui->set_size(p, 800, 500));
  EXPECT_FALSE(Gui->adjust_size(p, &width, &height));
  const clap_window_t none = X11Window(0);
  EXPECT_FALSE(Gui->set_parent(p, &none));
  EXPECT_FALSE(Gui->set_parent(p, nullptr));
}

TEST_F(TClapEditorTest, EmbedsInTheHostWindowAndLeavesNothingBehind) {
  Open();
  EXPECT_EQ(X.WindowSize(EditorWindow), std::make_pair(kWidth, kHeight));
  // The host's loop drives it: one timer, and the X connection to watch.
  EXPECT_EQ(Host->Timers.size(), 1u);
  ASSERT_EQ(Host->Descriptors.size(), 1u);
  EXPECT_EQ(Host->Descriptors.begin()->second,
            static_cast<clap_posix_fd_flags_t>(CLAP_POSIX_FD_READ));
  ExpectScreenShows(VstRendering(0.5f, 1.0f, 0.5f), "the editor at the defaults");

  // Hidden, the window leaves the screen and its timer stops; shown, both come back.
  ASSERT_TRUE(Gui->hide(Host->Plugin()));
  EXPECT_TRUE(RunUntil([&] { return !X.Viewable(EditorWindow); })) << "still on the screen";
  EXPECT_TRUE(Host->Timers.empty());
  ASSERT_TRUE(Gui->show(Host->Plugin()));
  EXPECT_TRUE(RunUntil([&] { return X.Viewable(EditorWindow); })) << "not back on the screen";
  EXPECT_EQ(Host->Timers.size(), 1u);
  ExpectScreenShows(VstRendering(0.5f, 1.0f, 0.5f), "the editor shown again");

  const clap_window_t again = X11Window(HostWindow);
  EXPECT_FALSE(Gui->set_parent(Host->Plugin(), &again)) << "one editor per instance";
  Gui->destroy(Host->Plugin());
  XSync(X.Connection(), False);
  EXPECT_TRUE(X.Children(HostWindow).empty());
  EXPECT_TRUE(Host->Timers.empty());
  EXPECT_TRUE(Host->Descriptors.empty());
  std::uint32_t width = 0, height = 0;
  EXPECT_FALSE(Gui->get_size(Host->Plugin(), &width, &height));
}

// A HiDPI host sets its scale before it gives the parent window and sizes
// that window from get_size; a later change of scale resizes the open editor
// and asks the host for the new size.
TEST_F(TClapEditorTest, FollowsTheHostsScale) {
  const clap_plugin_t* p = Host->Plugin();
  ASSERT_TRUE(Gui->create(p, CLAP_WINDOW_API_X11, false));
  ASSERT_TRUE(Gui->set_scale(p, 2.0));
  EXPECT_FALSE(Gui->set_scale(p, NAN));
  EXPECT_FALSE(Gui->set_scale(p, -1.0));
  const auto size = [&] {
    std::uint32_t width = 0, height = 0;
    EXPECT_TRUE(Gui->get_size(p, &width, &height));
    return std::make_pair(width, height);
  };
  EXPECT_EQ(size(), std::make_pair(804u, 500u)) << "before the editor opens";
  const clap_window_t parent = X11Window(HostWindow);
  ASSERT_TRUE(Gui->set_parent(p, &parent));
  ASSERT_TRUE(RunUntil([&] { return X.Children(HostWindow).size() == 1; }));
  EditorWindow = X.Children(HostWindow)[0];
  EXPECT_EQ(size(), std::make_pair(804u, 500u));
  EXPECT_EQ(X.WindowSize(EditorWindow), std::make_pair(804, 500));
  EXPECT_EQ(Host->ResizeRequests, 0) << "the host already had the size from get_size";

  ASSERT_TRUE(Gui->set_scale(p, 1.5));
  EXPECT_EQ(Host->ResizeRequests, 1);
  EXPECT_EQ(Host->LastResize, std::make_pair(603u, 375u));
  EXPECT_EQ(size(), std::make_pair(603u, 375u));
  EXPECT_EQ(X.WindowSize(EditorWindow), std::make_pair(603, 375));
}

// A host that never sets a scale leaves the editor to the desktop's; the
// host, which sized its window from get_size, hears the real size.
TEST_F(TClapEditorTest, FollowsTheDesktopWithoutAHostScale) {
  struct TDesktopScale {
    TDesktopScale() { setenv("GDK_SCALE", "2", 1); }
    ~TDesktopScale() { unsetenv("GDK_SCALE"); }
  } desktop;
  const clap_plugin_t* p = Host->Plugin();
  ASSERT_TRUE(Gui->create(p, CLAP_WINDOW_API_X11, false));
  const clap_window_t parent = X11Window(HostWindow);
  ASSERT_TRUE(Gui->set_parent(p, &parent));
  ASSERT_TRUE(RunUntil([&] { return X.Children(HostWindow).size() == 1; }));
  EXPECT_EQ(X.WindowSize(X.Children(HostWindow)[0]), std::make_pair(804, 500));
  EXPECT_EQ(Host->ResizeRequests, 1);
  EXPECT_EQ(Host->LastResize, std::make_pair(804u, 500u));
}

TEST_F(TClapEditorTest, ShowsValuesTheHostSetsWhileProcessing) {
  Open();
  Host->Activate(44100.0, 1, 512);
  Host->StartProcessing();
  std::vector<float> silence(64);
  TInputEvents events;
  events.AddParamValue(10, kGainId, 12.0);
  events.AddParamValue(20, kIntensityId, 33.3);
  events.AddParamValue(30, kOutGainId, -20.0);
  TOutputEvents out;
  Host->ProcessStereo(silence.data(), silence.data(), silence.data(), silence.data(), 64, &events,
                      &out);
  ExpectScreenShows(VstRendering(0.625f, 0.333f, static_cast<float>(-20.0 / 96 + 0.5)),
                    "the editor after the host's changes");
  EXPECT_TRUE(out.Events.empty()) << "a value from the host went back to it";
}

// Without processing, the host is asked to collect the edits with a flush.
TEST_F(TClapEditorTest, AGestureWithoutProcessingAsksForAFlush) {
  Open();
  X.DragIn(EditorWindow, {67, 89}, 0, -40, kLeftButton);
  std::vector<TOutputEvent> events;
  ASSERT_TRUE(RunUntil([&] {
    const auto more = Gestures();
    events.insert(events.end(), more.begin(), more.end());
    return !events.empty() && events.back().Type == CLAP_EVENT_PARAM_GESTURE_END;
  })) << "no gesture end";
  EXPECT_GT(Host->FlushRequests, 0);
}

// While processing, the edits go out with the next block, and the gesture
// stays whole however the host's calls fall between the user's moves.
TEST_F(TClapEditorTest, GesturesGoOutWithProcessingInOrder) {
  Open();
  Host->Activate(44100.0, 1, 512);
  Host->StartProcessing();
  std::vector<float> silence(32);
  std::vector<TOutputEvent> events;
  const auto block = [&] {
    TOutputEvents out;
    Host->ProcessStereo(silence.data(), silence.data(), silence.data(), silence.data(), 32, nullptr,
                        &out);
    events.insert(events.end(), out.Events.begin(), out.Events.end());
  };
  // Press, move in steps with blocks in between, release.
  X.MovePointerIn(EditorWindow, 67, 89);
  X.Press(kLeftButton);
  RunUntil([&] {
    block();
    return !events.empty();
  });
  for (int step = 1; step <= 2; ++step) {
    const std::size_t before = events.size();
    X.MovePointerIn(EditorWindow, 67, 89 - 20 * step);
    ASSERT_TRUE(RunUntil([&] {
      block();
      return events.size() > before;
    })) << "no value for move "
        << step;
  }
  X.Release(kLeftButton);
  ASSERT_TRUE(RunUntil([&] {
    block();
    return events.back().Type == CLAP_EVENT_PARAM_GESTURE_END;
  }));
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events.front().Type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
  for (std::size_t i = 1; i + 1 < events.size(); ++i) {
    EXPECT_EQ(events[i].Type, CLAP_EVENT_PARAM_VALUE) << i;
    EXPECT_EQ(events[i].Param, kGainId);
  }
  EXPECT_NEAR(events[events.size() - 2].Value, 4.8, 1e-4);
}

} // namespace
} // namespace glowrasp::clap_test
