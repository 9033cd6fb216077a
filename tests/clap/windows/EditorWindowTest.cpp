// The CLAP editor in a Win32 host window: a child at its origin, driven by
// the host's timer, showing what the VST 2 editor renders offscreen, and gone
// without a trace when the host destroys it. Needs a display; the runner
// starts these under Xvfb.
#include "ClapTestSupport.h"
#include "hostlib/Editor.h"
#include "hostlib/PluginHost.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <windows.h>

namespace glowrasp::clap_test {
namespace {

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr char kHostClass[] = "GlowraspClapTestHost";

using TPixels = std::vector<std::uint32_t>;

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
}

// The screen's pixels under `window`'s client area, 0x00RRGGBB.
TPixels Screenshot(HWND window) {
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, kWidth, kHeight, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  TPixels result(pixels, pixels + kWidth * kHeight);
  for (std::uint32_t& pixel : result)
    pixel &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return result;
}

// The VST 2 editor offscreen at its defaults.
TPixels VstRendering() {
  using namespace glowrasp::host;
  Plugin effect(std::make_shared<const PluginLibrary>(GLOWRASP_PLUGIN_PATH));
  effect.setSampleRate(44100.0f);
  effect.setBlockSize(512);
  effect.resume();
  const OpenEditor editor(effect, nullptr);
  editor.idle();
  return editor.snapshot().pixels;
}

TEST(ClapEditorWindow, EmbedsAChildShowingTheVstEditor) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kHostClass;
  RegisterClassExA(&windowClass);
  const HWND hostWindow =
      CreateWindowExA(0, kHostClass, "Glowrasp CLAP test host", WS_POPUP | WS_VISIBLE, 120, 90,
                      kWidth, kHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(hostWindow, nullptr);
  PumpMessages();

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

  const TPixels expected = VstRendering();
  bool shown = false;
  for (int attempt = 0; attempt < 100 && !shown; ++attempt) {
    host->RunEventLoopOnce();
    PumpMessages();
    shown = Screenshot(editor) == expected;
  }
  EXPECT_TRUE(shown) << "the screen does not show the VST editor's rendering";

  gui->destroy(p);
  PumpMessages();
  EXPECT_EQ(GetWindow(hostWindow, GW_CHILD), nullptr);
  EXPECT_TRUE(host->Timers.empty());
  DestroyWindow(hostWindow);
}

} // namespace
} // namespace glowrasp::clap_test
