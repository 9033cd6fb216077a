// The CLAP editor in a Win32 host window: a child at its origin, driven by
// the host's timer, showing what the VST 2 editor renders offscreen, and gone
// without a trace when the host destroys it. Needs a display; the runner
// starts these under Xvfb.
#include "ClapTestSupport.h"
#include "common/VstEditorPicture.h"
#include "common/Win32HostWindow.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace glowrasp::clap_test {
namespace {

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr char kHostClass[] = "GlowraspClapTestHost";

using namespace glowrasp::win32test;

TEST(ClapEditorWindow, EmbedsAChildShowingTheVstEditor) {
  const HWND hostWindow = CreateHostWindow(kHostClass, "Glowrasp CLAP test host", kWidth, kHeight);
  ASSERT_NE(hostWindow, nullptr);
  Pump();

  const auto host = NewPlugin(false);
  const auto* gui = host->Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
  ASSERT_NE(gui, nullptr);
  const clap_plugin_t* p = host->Plugin();
  EXPECT_FALSE(gui->is_api_supported(p, CLAP_WINDOW_API_X11, false));
  ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_WIN32, false));
  clap_window_t parent{};
  parent.api = CLAP_WINDOW_API_WIN32;
  parent.win32 = hostWindow;
  ASSERT_TRUE(gui->set_parent(p, &parent));
  ASSERT_TRUE(gui->show(p));
  EXPECT_EQ(host->Timers.size(), 1u);
  EXPECT_TRUE(host->Descriptors.empty());

  const HWND editor = GetWindow(hostWindow, GW_CHILD);
  ASSERT_NE(editor, nullptr);
  RECT rect{};
  GetClientRect(editor, &rect);
  EXPECT_EQ(rect.right - rect.left, kWidth);
  EXPECT_EQ(rect.bottom - rect.top, kHeight);

  const TPixels expected = VstEditorPicture(GLOWRASP_PLUGIN_PATH).pixels;
  bool shown = false;
  for (int attempt = 0; attempt < 100 && !shown; ++attempt) {
    host->RunEventLoopOnce();
    Pump();
    shown = Screenshot(editor, kWidth, kHeight) == expected;
  }
  EXPECT_TRUE(shown) << "the screen does not show the VST editor's rendering";

  gui->destroy(p);
  Pump();
  EXPECT_EQ(GetWindow(hostWindow, GW_CHILD), nullptr);
  EXPECT_TRUE(host->Timers.empty());
  DestroyWindow(hostWindow);
}

} // namespace
} // namespace glowrasp::clap_test
