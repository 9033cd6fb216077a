// The VST3 view in a real X server: embedded in a host window, run by the
// host's run loop, painting what the VST 2 editor paints, one editor per
// instance, sized by the host's content scale. (Knob gestures and the zoom
// kept in the controller's state are cross-format cases, tests/formats.)
#include "OurPlugin.h"
#include "xhost/VstRendering.h"
#include "xhost/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <thread>

namespace {

using namespace vst3host;

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr unsigned kLeftButton = 1;

class TVst3EditorTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(X) << "no X display: run under tests/run-with-xvfb.sh";
    ASSERT_EQ(Ours.Ctrl().set_component_handler(Ours.Controller(), Handler.Handler()), V3_OK);
    HostWindow = X.CreateHostWindow(kWidth, kHeight);
    View = TRef<v3_plugin_view_cpp>(reinterpret_cast<v3_plugin_view_cpp**>(
        Ours.Ctrl().create_view(Ours.Controller(), "editor")));
    ASSERT_TRUE(View);
  }
  void TearDown() override {
    if (!X)
      return;
    X.ReleaseButtons();
    if (View) {
      View->view.removed(View.Get());
      View.Reset();
    }
    X.DestroyWindow(HostWindow);
  }

  v3_plugin_view& Calls() const { return View->view; }

  // Pumps the host's run loop until `done` holds or a generous deadline passes.
  bool PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      Frame.Pump();
      if (done())
        return true;
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  void Attach() {
    ASSERT_EQ(Calls().set_frame(View.Get(), Frame.Frame()), V3_OK);
    void* parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(HostWindow));
    ASSERT_EQ(Calls().attached(View.Get(), parent, "X11EmbedWindowID"), V3_OK);
    ASSERT_TRUE(PumpUntil([this] {
      const auto children = X.Children(HostWindow);
      return children.size() == 1 && X.Viewable(children[0]);
    })) << "the editor's window did not appear";
    EditorWindow = X.Children(HostWindow)[0];
  }

  TPixels Screen() { return X.Screenshot(EditorWindow, kWidth, kHeight); }

  v3_view_rect Size() const {
    v3_view_rect rect{};
    EXPECT_EQ(Calls().get_size(View.Get(), &rect), V3_OK);
    return rect;
  }

  std::pair<int, int> WindowSize() { return X.WindowSize(EditorWindow); }

  void ExpectScreenShows(const TPixels& expected, const char* what) {
    const bool shown = PumpUntil([&] { return Screen() == expected; });
    EXPECT_TRUE(shown) << what << ": " << DescribeDifference(Screen(), expected);
  }

  bool Ended(std::uint32_t id) const {
    return std::find(Handler.Events.begin(), Handler.Events.end(),
                     THandlerEvent{THandlerEvent::heEnd, id, 0}) != Handler.Events.end();
  }

  TXSession X;
  TOurPlugin Ours;
  TComponentHandler Handler;
  TPlugFrame Frame;
  TRef<v3_plugin_view_cpp> View;
  Window HostWindow = 0;
  Window EditorWindow = 0;
};

TEST_F(TVst3EditorTest, EmbedsAFixedSizeWindowRunByTheHostsLoop) {
  EXPECT_EQ(Calls().is_platform_type_supported(View.Get(), "X11EmbedWindowID"), V3_OK);
  EXPECT_NE(Calls().is_platform_type_supported(View.Get(), "HWND"), V3_OK);
  EXPECT_EQ(Ours.Ctrl().create_view(Ours.Controller(), "other"), nullptr);
  v3_view_rect rect{};
  ASSERT_EQ(Calls().get_size(View.Get(), &rect), V3_OK);
  EXPECT_EQ(rect.right - rect.left, kWidth);
  EXPECT_EQ(rect.bottom - rect.top, kHeight);
  EXPECT_NE(Calls().can_resize(View.Get()), V3_OK);
  EXPECT_NE(Calls().attached(View.Get(), nullptr, "X11EmbedWindowID"), V3_OK);

  Attach();
  EXPECT_EQ(Frame.EventHandlerCount(), 1u) << "the X connection is watched";
  EXPECT_EQ(Frame.TimerCount(), 1u);
  EXPECT_EQ(X.WindowSize(EditorWindow), std::make_pair(kWidth, kHeight));
  ExpectScreenShows(VstRendering(0.5f, 1.0f, 0.5f), "the editor at the defaults");
  EXPECT_TRUE(Handler.Events.empty()) << "opening the editor tells the host nothing";

  ASSERT_EQ(Calls().removed(View.Get()), V3_OK);
  XSync(X.Connection(), False);
  EXPECT_TRUE(X.Children(HostWindow).empty()) << "removed leaves a window behind";
  EXPECT_EQ(Frame.EventHandlerCount(), 0u);
  EXPECT_EQ(Frame.TimerCount(), 0u);
}

TEST_F(TVst3EditorTest, OneInstanceOpensOneEditorAtATime) {
  Attach();
  TRef<v3_plugin_view_cpp> second(
      reinterpret_cast<v3_plugin_view_cpp**>(Ours.Ctrl().create_view(Ours.Controller(), "editor")));
  ASSERT_TRUE(second);
  TPlugFrame secondFrame;
  ASSERT_EQ(second->view.set_frame(second.Get(), secondFrame.Frame()), V3_OK);
  // A window of its own for each try; it goes before the pointer moves, since
  // it covers the first editor.
  auto attachSecond = [&] {
    const Window window = X.CreateHostWindow(kWidth, kHeight);
    void* parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
    const v3_result result = second->view.attached(second.Get(), parent, "X11EmbedWindowID");
    second->view.removed(second.Get());
    X.DestroyWindow(window);
    return result;
  };
  EXPECT_NE(attachSecond(), V3_OK);
  EXPECT_EQ(secondFrame.TimerCount(), 0u);

  // The first editor keeps its gestures.
  X.DragIn(EditorWindow, {67, 89}, 0, -40, kLeftButton);
  EXPECT_TRUE(PumpUntil([&] { return Ended(kGainId); }))
      << ::testing::PrintToString(Handler.Events);

  ASSERT_EQ(Calls().removed(View.Get()), V3_OK);
  EXPECT_EQ(attachSecond(), V3_OK);
}

TEST_F(TVst3EditorTest, ValuesTheHostSetsShowAndGoNowhere) {
  Attach();
  ASSERT_EQ(Ours.Ctrl().set_parameter_normalised(Ours.Controller(), kGainId, 0.625), V3_OK);
  ASSERT_EQ(Ours.Ctrl().set_parameter_normalised(Ours.Controller(), kIntensityId, 0.333), V3_OK);
  ASSERT_EQ(Ours.Ctrl().set_parameter_normalised(Ours.Controller(), kOutGainId, 0.25), V3_OK);
  ExpectScreenShows(VstRendering(0.625f, 0.333f, 0.25f), "the editor after the host's values");
  EXPECT_TRUE(Handler.Events.empty()) << "a value from the host went back to it";
}

std::pair<int, int> Extent(const v3_view_rect& rect) {
  return {rect.right - rect.left, rect.bottom - rect.top};
}

TEST_F(TVst3EditorTest, HostScaleOnAnOpenViewResizesItThroughTheFrame) {
  Attach();
  const auto scale = View.Query<v3_plugin_view_content_scale_cpp>(v3_plugin_view_content_scale_iid);
  ASSERT_TRUE(scale) << "no content scale interface";
  for (const float bad : {0.0f, -1.0f, NAN, INFINITY})
    EXPECT_NE(scale->scale.set_content_scale_factor(scale.Get(), bad), V3_OK) << bad;
  EXPECT_TRUE(Frame.ResizeRequests.empty());

  ASSERT_EQ(scale->scale.set_content_scale_factor(scale.Get(), 2.0f), V3_OK);
  EXPECT_EQ(Frame.ResizeRequests, (std::vector<std::pair<int, int>>{{804, 500}}));
  EXPECT_EQ(Frame.RefusedSizes, 0) << "onSize refused the editor's own size";
  EXPECT_EQ(Extent(Size()), std::make_pair(804, 500));
  EXPECT_EQ(WindowSize(), std::make_pair(804, 500));
  v3_view_rect asked{10, 20, 410, 270};
  ASSERT_EQ(Calls().check_size_constraint(View.Get(), &asked), V3_OK);
  EXPECT_EQ(asked.left, 10);
  EXPECT_EQ(Extent(asked), std::make_pair(804, 500));
  EXPECT_NE(Calls().can_resize(View.Get()), V3_OK) << "the user still cannot drag its size";
  EXPECT_TRUE(Handler.Events.empty());
}

TEST_F(TVst3EditorTest, HostScaleBeforeAttachOpensAtThatSize) {
  const auto scale = View.Query<v3_plugin_view_content_scale_cpp>(v3_plugin_view_content_scale_iid);
  ASSERT_TRUE(scale);
  ASSERT_EQ(scale->scale.set_content_scale_factor(scale.Get(), 1.5f), V3_OK);
  EXPECT_EQ(Extent(Size()), std::make_pair(603, 375));
  Attach();
  EXPECT_EQ(WindowSize(), std::make_pair(603, 375));
  EXPECT_TRUE(Frame.ResizeRequests.empty()) << "the host already had the size from getSize";
}

} // namespace
