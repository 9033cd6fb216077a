// The form as a child window of the host's window. Everything is painted into
// the form's back buffer by the toolkit; the window only shows it and turns
// mouse messages into the toolkit's presses, moves and releases.
#include "base/Error.h"
#include "base/ThreadSupport.h"
#include "toolkit/FormBackend.h"
#include "toolkit/MessageBox.h"

#include <atomic>
#include <exception>
#include <optional>
#include <utility>

#include <windows.h>
#include <windowsx.h>

namespace {

constexpr char kClassName[] = "KestruneGlowraspEditor";
// The idle timer: about the rate hosts call their editors' idle at.
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdleIntervalMs = 30;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

// A library's window classes stay registered after it is unloaded, with a
// window procedure that points nowhere. The class is therefore registered by
// the first window and removed with the last one, never from DllMain.
class TWindowClass {
public:
  static void Acquire(WNDPROC procedure) {
    std::lock_guard lock(FLock);
    if (FWindows == 0) {
      WNDCLASSEXA windowClass{};
      windowClass.cbSize = sizeof windowClass;
      windowClass.style = CS_DBLCLKS;
      windowClass.lpfnWndProc = procedure;
      windowClass.hInstance = ThisModule();
      windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
      windowClass.lpszClassName = kClassName;
      if (!RegisterClassExA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw EGlowraspError("Cannot register the editor's window class");
    }
    ++FWindows;
  }

  static void Release() {
    std::lock_guard lock(FLock);
    if (--FWindows == 0)
      UnregisterClassA(kClassName, ThisModule());
  }

private:
  static inline TMutex FLock;
  static inline int FWindows = 0;
};

// The per-monitor DPI calls of Windows 10 (1607 and later), looked up at run
// time so that the DLL still loads where they are missing.
template <class TProc>
TProc User32Proc(const char* name) {
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  return user32 ? reinterpret_cast<TProc>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                : nullptr;
}

using TSetThreadDpiAwarenessContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using TGetDpiForWindow = UINT(WINAPI*)(HWND);

// Creates the window per-monitor DPI aware where the system allows it (a
// host in mixed DPI mode lets a child differ from its parent), so that the
// window gets real pixels rather than a blurred enlargement.
class TDpiAwareScope {
public:
  TDpiAwareScope()
      : FSet(User32Proc<TSetThreadDpiAwarenessContext>("SetThreadDpiAwarenessContext")),
        FPrevious(FSet ? FSet(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) : nullptr) {}
  ~TDpiAwareScope() {
    if (FSet && FPrevious)
      FSet(FPrevious);
  }
  TDpiAwareScope(const TDpiAwareScope&) = delete;
  TDpiAwareScope& operator=(const TDpiAwareScope&) = delete;

private:
  TSetThreadDpiAwarenessContext FSet;
  DPI_AWARENESS_CONTEXT FPrevious;
};

TShiftState ShiftState(WPARAM keys) {
  struct TMap {
    WPARAM Key;
    TShiftState Flag;
  };
  static constexpr TMap kMap[] = {{MK_SHIFT, ssShift},
                                  {MK_CONTROL, ssCtrl},
                                  {MK_LBUTTON, ssLeft},
                                  {MK_RBUTTON, ssRight},
                                  {MK_MBUTTON, ssMiddle}};
  TShiftState shift = 0;
  for (const TMap& m : kMap)
    if (keys & m.Key)
      shift |= m.Flag;
  // Mouse messages do not carry the Alt key.
  if (GetKeyState(VK_MENU) < 0)
    shift |= ssAlt;
  return shift;
}

std::optional<TEditKey> ToEditKey(WPARAM key) {
  switch (key) {
  case VK_BACK:
    return ekBackspace;
  case VK_DELETE:
    return ekDelete;
  case VK_LEFT:
    return ekLeft;
  case VK_RIGHT:
    return ekRight;
  case VK_HOME:
    return ekHome;
  case VK_END:
    return ekEnd;
  case VK_RETURN:
    return ekEnter;
  case VK_ESCAPE:
    return ekEscape;
  default:
    return std::nullopt;
  }
}

// The modifier keys held now: key messages carry none.
TShiftState KeyShiftState() {
  TShiftState shift = 0;
  if (GetKeyState(VK_SHIFT) < 0)
    shift |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0)
    shift |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0)
    shift |= ssAlt;
  return shift;
}

class TWin32FormBackend final : public TFormBackend {
public:
  TWin32FormBackend(TFormBackendClient& client, HWND parent);
  ~TWin32FormBackend() override;
  TWin32FormBackend(const TWin32FormBackend&) = delete;
  TWin32FormBackend& operator=(const TWin32FormBackend&) = delete;

  void SetBounds(const TRect& bounds) override;
  void Show() override;
  void Hide() override;
  void SetCaption(const std::string& caption) override {
    if (const HWND window = FWindow)
      SetWindowTextA(window, caption.c_str());
  }
  void Present(const TBitmap& backBuffer, const TRect& area) override;
  // The host's message loop delivers the window's messages.
  void ProcessEvents() override {}
  void TakeKeyboardFocus() override;
  void ReturnKeyboardFocus() override;
  void* WindowHandle() const override { return FWindow.load(); }
  double DesktopScale() const override;

private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  void Press(TMouseButton button, TShiftState shift, LPARAM position);
  void Release(TMouseButton button, WPARAM keys, LPARAM position);
  void Move(WPARAM keys, LPARAM position);
  bool Wheel(TWheelAxis axis, WPARAM wParam);

  TFormBackendClient& FClient;
  // Null once the window is gone, also when the host destroyed its own window
  // first (a null window would stand for the whole screen).
  std::atomic<HWND> FWindow{nullptr};
  // Asked for WM_MOUSELEAVE since the pointer last came in.
  bool FTrackingLeave = false;
  // Who had the keyboard before the window took it.
  HWND FPreviousFocus = nullptr;
  bool FHoldsKeyboard = false;
};

// BeginPaint and EndPaint around one WM_PAINT, whatever happens in between.
class TPaintScope {
public:
  explicit TPaintScope(HWND window) : FWindow(window), FDC(BeginPaint(window, &FPaint)) {}
  ~TPaintScope() { EndPaint(FWindow, &FPaint); }
  TPaintScope(const TPaintScope&) = delete;
  TPaintScope& operator=(const TPaintScope&) = delete;

  HDC DC() const { return FDC; }
  TRect Area() const {
    return {FPaint.rcPaint.left, FPaint.rcPaint.top, FPaint.rcPaint.right, FPaint.rcPaint.bottom};
  }

private:
  HWND FWindow;
  PAINTSTRUCT FPaint{};
  HDC FDC;
};

// The pixels are 0x00RRGGBB, which is what a 32-bit DIB holds; a negative
// height makes it top-down like the back buffer. Only the rows of `area` are
// handed over, so the source's row numbering cannot matter.
void Blit(HDC dc, const TBitmap& backBuffer, const TRect& area) {
  const TRect visible = area.Intersect({0, 0, backBuffer.Width(), backBuffer.Height()});
  if (visible.Empty())
    return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = backBuffer.Width();
  info.bmiHeader.biHeight = -visible.Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, visible.Left, visible.Top, static_cast<DWORD>(visible.Width()),
                    static_cast<DWORD>(visible.Height()), visible.Left, 0, 0,
                    static_cast<UINT>(visible.Height()), backBuffer.Row(visible.Top), &info,
                    DIB_RGB_COLORS);
}

TWin32FormBackend::TWin32FormBackend(TFormBackendClient& client, HWND parent) : FClient(client) {
  if (!IsWindow(parent))
    throw EGlowraspError("The host's window is not a window");
  TWindowClass::Acquire(&WindowProc);
  // WM_NCCREATE stores the window handle.
  const TSize size = FClient.ClientSize();
  const TDpiAwareScope dpiAware;
  if (!CreateWindowExA(0, kClassName, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, size.Width, size.Height,
                       parent, nullptr, ThisModule(), this)) {
    TWindowClass::Release();
    throw EGlowraspError("Cannot create the editor window");
  }
  // Values set on the host's threads are painted from here, on the window's
  // own thread: no other thread ever calls the window system.
  SetTimer(FWindow, kIdleTimer, kIdleIntervalMs, nullptr);
}

TWin32FormBackend::~TWin32FormBackend() {
  if (const HWND window = FWindow.exchange(nullptr)) {
    KillTimer(window, kIdleTimer);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
  TWindowClass::Release();
}

// The window's DPI where Windows knows it per monitor, else the screen's.
double TWin32FormBackend::DesktopScale() const {
  const HWND window = FWindow;
  if (!window)
    return 0;
  UINT dpi = 0;
  if (const auto getDpi = User32Proc<TGetDpiForWindow>("GetDpiForWindow"))
    dpi = getDpi(window);
  if (dpi == 0)
    if (const HDC dc = GetDC(window)) {
      dpi = static_cast<UINT>(GetDeviceCaps(dc, LOGPIXELSX));
      ReleaseDC(window, dc);
    }
  return dpi > 0 ? dpi / 96.0 : 0;
}

void TWin32FormBackend::SetBounds(const TRect& bounds) {
  if (const HWND window = FWindow)
    SetWindowPos(window, nullptr, bounds.Left, bounds.Top, bounds.Width(), bounds.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32FormBackend::Hide() {
  if (const HWND window = FWindow)
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

void TWin32FormBackend::Show() {
  if (const HWND window = FWindow)
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// Only ever called on the form's thread, which owns the window.
void TWin32FormBackend::Present(const TBitmap& backBuffer, const TRect& area) {
  const HWND window = FWindow;
  if (!window || !IsWindowVisible(window))
    return;
  if (HDC dc = GetDC(window)) {
    Blit(dc, backBuffer, area);
    ReleaseDC(window, dc);
  }
}

void TWin32FormBackend::Paint() {
  const TPaintScope paint(FWindow);
  const TBitmap& picture = FClient.PaintRect(paint.Area());
  if (paint.DC())
    Blit(paint.DC(), picture, paint.Area());
}

void TWin32FormBackend::Press(TMouseButton button, TShiftState shift, LPARAM position) {
  SetCapture(FWindow.load());
  FClient.MouseDown(button, shift, GET_X_LPARAM(position), GET_Y_LPARAM(position));
}

void TWin32FormBackend::Release(TMouseButton button, WPARAM keys, LPARAM position) {
  // The window keeps the mouse until the last button goes up.
  if ((keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0 && GetCapture() == FWindow.load())
    ReleaseCapture();
  FClient.MouseUp(button, ShiftState(keys), GET_X_LPARAM(position), GET_Y_LPARAM(position));
}

void TWin32FormBackend::Move(WPARAM keys, LPARAM position) {
  if (!FTrackingLeave) {
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = FWindow.load();
    FTrackingLeave = TrackMouseEvent(&track) != FALSE;
  }
  FClient.MouseMove(ShiftState(keys), GET_X_LPARAM(position), GET_Y_LPARAM(position));
}

// The wheel's messages go to the window with the keyboard, wherever the
// pointer is: the control under the pointer gets them. Outside the window,
// or where no control wants them, they go on to the host's window
// (DefWindowProc passes them to the parent). The pointer's place is the
// message's own screen position; the one in lParam is not that everywhere
// (Wine gives the horizontal wheel's in client coordinates).
bool TWin32FormBackend::Wheel(TWheelAxis axis, WPARAM wParam) {
  const HWND window = FWindow;
  const DWORD position = GetMessagePos();
  POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  RECT client{};
  if (!ScreenToClient(window, &at) || !GetClientRect(window, &client) || !PtInRect(&client, at))
    return false;
  return FClient.MouseWheel(ShiftState(GET_KEYSTATE_WPARAM(wParam)), axis,
                            GET_WHEEL_DELTA_WPARAM(wParam), at.x, at.y);
}

void TWin32FormBackend::TakeKeyboardFocus() {
  const HWND window = FWindow;
  if (!window)
    return;
  const HWND previous = GetFocus();
  FPreviousFocus = previous != window ? previous : nullptr;
  FHoldsKeyboard = true;
  SetFocus(window);
}

// Unless another window has taken the keyboard meanwhile: then it keeps it.
void TWin32FormBackend::ReturnKeyboardFocus() {
  const HWND window = FWindow;
  if (!std::exchange(FHoldsKeyboard, false) || !window || GetFocus() != window)
    return;
  const HWND previous = FPreviousFocus;
  SetFocus(previous && IsWindow(previous) ? previous : GetParent(window));
}

bool TWin32FormBackend::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT:
    Paint();
    return true;
  case WM_ERASEBKGND:
    return true; // every pixel comes from the back buffer
  case WM_TIMER:
    if (wParam != kIdleTimer)
      return false;
    FClient.Idle();
    return true;
  case WM_LBUTTONDOWN:
    Press(mbLeft, ShiftState(wParam), lParam);
    return true;
  case WM_RBUTTONDOWN:
    Press(mbRight, ShiftState(wParam), lParam);
    return true;
  case WM_MBUTTONDOWN:
    Press(mbMiddle, ShiftState(wParam), lParam);
    return true;
  // The second press of a double click comes as its own message.
  case WM_LBUTTONDBLCLK:
    Press(mbLeft, ShiftState(wParam) | ssDouble, lParam);
    return true;
  case WM_RBUTTONDBLCLK:
    Press(mbRight, ShiftState(wParam) | ssDouble, lParam);
    return true;
  case WM_MBUTTONDBLCLK:
    Press(mbMiddle, ShiftState(wParam) | ssDouble, lParam);
    return true;
  case WM_MOUSEMOVE:
    Move(wParam, lParam);
    return true;
  case WM_MOUSELEAVE:
    FTrackingLeave = false;
    FClient.MouseLeave();
    return true;
  case WM_MOUSEWHEEL:
    return Wheel(waVertical, wParam);
  case WM_MOUSEHWHEEL:
    return Wheel(waHorizontal, wParam);
  // While a control edits text: keys the form does not take, and every key
  // at other times, are left to DefWindowProc as if the window had none.
  case WM_KEYDOWN:
    if (const auto key = ToEditKey(wParam))
      return FClient.KeyDown(*key, KeyShiftState());
    return false;
  case WM_CHAR:
    // The edit keys' characters (Backspace, Enter, Escape) came as keys.
    return wParam >= 0x20 && wParam < 0x7F && FClient.CharTyped(static_cast<char>(wParam));
  case WM_KILLFOCUS:
    // The window that takes the keyboard keeps it.
    if (std::exchange(FHoldsKeyboard, false))
      FClient.KeyboardFocusLost();
    return false;
  case WM_LBUTTONUP:
    Release(mbLeft, wParam, lParam);
    return true;
  case WM_RBUTTONUP:
    Release(mbRight, wParam, lParam);
    return true;
  case WM_MBUTTONUP:
    Release(mbMiddle, wParam, lParam);
    return true;
  default:
    return false;
  }
}

LRESULT CALLBACK TWin32FormBackend::WindowProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = static_cast<TWin32FormBackend*>(
        reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
    created->FWindow = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  auto* backend = reinterpret_cast<TWin32FormBackend*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (backend && message == WM_NCDESTROY) {
    backend->FWindow = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  } else if (backend && message == WM_GETDLGCODE && backend->FHoldsKeyboard) {
    // A host's dialog would take Enter and Escape for its own buttons.
    return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
  } else if (backend) {
    // No error may unwind into the host's message loop.
    try {
      if (backend->Handle(message, wParam, lParam))
        return 0;
    } catch (const std::exception& error) {
      ShowMessageBox(error.what());
      return 0;
    } catch (...) {
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

std::unique_ptr<TFormBackend> CreatePlatformFormBackend(TFormBackendClient& client,
                                                        void* parentWindow) {
  return std::make_unique<TWin32FormBackend>(client, static_cast<HWND>(parentWindow));
}
