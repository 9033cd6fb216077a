// What the Windows editor tests share: a borderless host window of the
// editor's size, like a host's plug-in frame, a message pump and a capture
// of what the screen shows. Needs a display; the runner starts these under
// Xvfb.
#pragma once

#include <cstdint>
#include <vector>

#include <windows.h>

namespace glowrasp::win32test {

using TPixels = std::vector<std::uint32_t>;

// Delivers everything waiting for this thread's windows, then waits a moment
// for what the window system still sends (exposure, the screen's refresh).
inline void Pump(int rounds = 1) {
  for (int round = 0; round < rounds; ++round) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// A visible popup at a fixed place on the screen; null when it cannot be made.
inline HWND CreateHostWindow(const char* className, const char* title, int width, int height) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassExA(&windowClass);
  return CreateWindowExA(0, className, title, WS_POPUP | WS_VISIBLE, 120, 90, width, height,
                         nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// The screen's pixels under `window`'s client area, 0x00RRGGBB.
inline TPixels Screenshot(HWND window, int width, int height) {
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  TPixels result(pixels, pixels + static_cast<std::size_t>(width) * height);
  for (std::uint32_t& pixel : result)
    pixel &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return result;
}

} // namespace glowrasp::win32test
