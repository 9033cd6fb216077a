// The form as a child window of the host's X11 window. The form keeps a
// connection of its own (hosts' connections are not ours to use, and may live
// on another thread) and touches it only on the form's thread.
#include "base/Error.h"
#include "toolkit/FormBackend.h"
#include "toolkit/linux/X11Support.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            LeaveWindowMask | StructureNotifyMask;
// Only while a control edits text: at any other time the keys go past the
// window to the host's, as if it were not there.
constexpr long kEditingEventMask = kEventMask | KeyPressMask | FocusChangeMask;

constexpr long kXEmbedVersion = 1;
constexpr long kXEmbedMapped = 1;

// A second press of the same button counts as a double click within this
// time and distance of the first, as on Windows.
constexpr std::uint32_t kDoubleClickTime = 500; // ms of server time
constexpr int kDoubleClickDistance = 4;         // pixels

std::optional<TMouseButton> ToButton(unsigned button) {
  switch (button) {
  case Button1:
    return mbLeft;
  case Button2:
    return mbMiddle;
  case Button3:
    return mbRight;
  default: // the wheel and extra buttons
    return std::nullopt;
  }
}

// Buttons 4 and 5 are the wheel's notches up and down, 6 and 7 left and right.
struct TWheelNotch {
  TWheelAxis Axis;
  int Delta;
};

std::optional<TWheelNotch> ToWheelNotch(unsigned button) {
  switch (button) {
  case 4:
    return TWheelNotch{waVertical, kWheelNotch};
  case 5:
    return TWheelNotch{waVertical, -kWheelNotch};
  case 6:
    return TWheelNotch{waHorizontal, -kWheelNotch};
  case 7:
    return TWheelNotch{waHorizontal, kWheelNotch};
  default:
    return std::nullopt;
  }
}

std::optional<TEditKey> ToEditKey(KeySym symbol) {
  switch (symbol) {
  case XK_BackSpace:
    return ekBackspace;
  case XK_Delete:
  case XK_KP_Delete:
    return ekDelete;
  case XK_Left:
  case XK_KP_Left:
    return ekLeft;
  case XK_Right:
  case XK_KP_Right:
    return ekRight;
  case XK_Home:
  case XK_KP_Home:
    return ekHome;
  case XK_End:
  case XK_KP_End:
    return ekEnd;
  case XK_Return:
  case XK_KP_Enter:
    return ekEnter;
  case XK_Escape:
    return ekEscape;
  default:
    return std::nullopt;
  }
}

// Focus left the window itself for another one, not for a moment while a
// grab (a menu, a window manager's shortcut) held the keyboard.
bool FocusTakenAway(const XFocusChangeEvent& event) {
  return (event.mode == NotifyNormal || event.mode == NotifyWhileGrabbed) &&
         (event.detail == NotifyAncestor || event.detail == NotifyNonlinear);
}

TShiftState ToShift(unsigned state) {
  struct TMap {
    unsigned Mask;
    TShiftFlag Flag;
  };
  static constexpr TMap kMap[] = {{ShiftMask, ssShift},    {Mod1Mask, ssAlt},
                                  {ControlMask, ssCtrl},   {Button1Mask, ssLeft},
                                  {Button2Mask, ssMiddle}, {Button3Mask, ssRight}};
  TShiftState shift = 0;
  for (const TMap& m : kMap)
    if (state & m.Mask)
      shift |= m.Flag;
  return shift;
}

class TX11FormBackend final : public TFormBackend {
public:
  TX11FormBackend(TFormBackendClient& client, Window parent);
  ~TX11FormBackend() override { Release(); }
  TX11FormBackend(const TX11FormBackend&) = delete;
  TX11FormBackend& operator=(const TX11FormBackend&) = delete;

  void SetBounds(const TRect& bounds) override;
  void Show() override;
  void Hide() override;
  void SetCaption(const std::string& caption) override;
  void Present(const TBitmap& backBuffer, const TRect& area) override;
  void ProcessEvents() override;
  void TakeKeyboardFocus() override;
  void ReturnKeyboardFocus() override;
  // Embedding hosts take an X window id in a pointer-sized handle.
  double DesktopScale() const override { return FDesktopScale; }
  void* WindowHandle() const override {
    return reinterpret_cast<void*>( // NOLINT(performance-no-int-to-ptr)
        static_cast<std::uintptr_t>(FWindow));
  }
  // The form's own connection: readable whenever its events wait.
  int EventDescriptor() const override { return FDisplay ? XConnectionNumber(FDisplay) : -1; }

private:
  void Create(Window parent);
  void Release();
  bool EnsurePixmap(int width, int height);
  void Dispatch(const XEvent& event, const XEvent* next);
  void Press(const XButtonEvent& event);
  void Key(XKeyEvent event);
  bool IsDoubleClick(const XButtonEvent& event);

  TFormBackendClient& FClient;
  Display* FDisplay = nullptr;
  double FDesktopScale = 0;
  TX11Visual FVisual;
  Colormap FColormap = None;
  Window FWindow = None;
  GC FGC = nullptr;
  // The window's background: the server repaints exposed parts from it by
  // itself, so the picture stays whole even while the host sends no idle.
  Pixmap FPixmap = None;
  int FPixmapWidth = 0;
  int FPixmapHeight = 0;

  // Who had the keyboard before the window took it.
  Window FPreviousFocus = None;
  int FPreviousRevert = RevertToParent;

  bool FFirstClickPending = false;
  unsigned FLastButton = 0;
  Time FLastTime = 0;
  int FLastX = 0;
  int FLastY = 0;
};

TX11FormBackend::TX11FormBackend(TFormBackendClient& client, Window parent) : FClient(client) {
  FDisplay = XOpenDisplay(nullptr);
  if (!FDisplay)
    throw EGlowraspError("Cannot open the X display");
  FDesktopScale = X11DesktopScale(FDisplay);
  try {
    Create(parent);
  } catch (...) {
    Release();
    throw;
  }
}

void TX11FormBackend::Create(Window parent) {
  TX11ErrorTrap trap(FDisplay);
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(FDisplay, parent, &attributes) || trap.Failed())
    throw EGlowraspError("The host's window is not a window of this display");
  const int screen = XScreenNumberOfScreen(attributes.screen);
  FVisual = ChooseVisual(FDisplay, screen);
  if (!FVisual.Type)
    throw EGlowraspError("The X display has no true-colour visual");
  FColormap = XCreateColormap(FDisplay, RootWindow(FDisplay, screen), FVisual.Type, AllocNone);

  XSetWindowAttributes window{};
  window.colormap = FColormap;
  window.border_pixel = 0;
  window.background_pixmap = None;
  window.event_mask = kEventMask;
  const TSize size = FClient.ClientSize();
  FWindow =
      XCreateWindow(FDisplay, parent, 0, 0, static_cast<unsigned>(std::max(size.Width, 1)),
                    static_cast<unsigned>(std::max(size.Height, 1)), 0, FVisual.Depth, InputOutput,
                    FVisual.Type, CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &window);
  const Atom xembedInfo = XInternAtom(FDisplay, "_XEMBED_INFO", False);
  const long info[2] = {kXEmbedVersion, kXEmbedMapped};
  XChangeProperty(FDisplay, FWindow, xembedInfo, xembedInfo, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(info), 2);
  XGCValues values{};
  values.graphics_exposures = False;
  FGC = XCreateGC(FDisplay, FWindow, GCGraphicsExposures, &values);
  if (trap.Failed())
    throw EGlowraspError("Cannot create the editor window");
}

void TX11FormBackend::Release() {
  ReleaseWindow(FDisplay, FWindow, FGC, FColormap, FPixmap);
  XCloseDisplay(FDisplay);
}

void TX11FormBackend::SetBounds(const TRect& bounds) {
  TX11ErrorTrap trap(FDisplay);
  XMoveResizeWindow(FDisplay, FWindow, bounds.Left, bounds.Top,
                    static_cast<unsigned>(std::max(bounds.Width(), 1)),
                    static_cast<unsigned>(std::max(bounds.Height(), 1)));
  XFlush(FDisplay);
}

// WM_NAME for every reader, _NET_WM_NAME in UTF-8 for current ones.
void TX11FormBackend::SetCaption(const std::string& caption) {
  TX11ErrorTrap trap(FDisplay);
  XStoreName(FDisplay, FWindow, caption.c_str());
  XChangeProperty(FDisplay, FWindow, XInternAtom(FDisplay, "_NET_WM_NAME", False),
                  XInternAtom(FDisplay, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(caption.data()),
                  static_cast<int>(caption.size()));
}

void TX11FormBackend::Hide() {
  TX11ErrorTrap trap(FDisplay);
  XUnmapWindow(FDisplay, FWindow);
  XSync(FDisplay, False);
}

void TX11FormBackend::Show() {
  {
    TX11ErrorTrap trap(FDisplay);
    XMapRaised(FDisplay, FWindow);
    XSync(FDisplay, False);
  }
  ProcessEvents();
}

bool TX11FormBackend::EnsurePixmap(int width, int height) {
  if (width == FPixmapWidth && height == FPixmapHeight)
    return false;
  if (FPixmap != None)
    XFreePixmap(FDisplay, FPixmap);
  FPixmap = None;
  FPixmapWidth = width;
  FPixmapHeight = height;
  if (width > 0 && height > 0)
    FPixmap = XCreatePixmap(FDisplay, FWindow, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), static_cast<unsigned>(FVisual.Depth));
  return true;
}

void TX11FormBackend::Present(const TBitmap& backBuffer, const TRect& area) {
  TX11ErrorTrap trap(FDisplay);
  const TRect whole{0, 0, backBuffer.Width(), backBuffer.Height()};
  const TRect part =
      EnsurePixmap(backBuffer.Width(), backBuffer.Height()) ? whole : area.Intersect(whole);
  if (FPixmap == None || part.Empty())
    return;
  PutPixels(FDisplay, FPixmap, FGC, FVisual, backBuffer, part);
  // Set again after every change: the server may have kept a copy of the old contents.
  XSetWindowBackgroundPixmap(FDisplay, FWindow, FPixmap);
  XCopyArea(FDisplay, FPixmap, FWindow, FGC, part.Left, part.Top,
            static_cast<unsigned>(part.Width()), static_cast<unsigned>(part.Height()), part.Left,
            part.Top);
  XFlush(FDisplay);
}

void TX11FormBackend::ProcessEvents() {
  std::vector<XEvent> events;
  {
    TX11ErrorTrap trap(FDisplay);
    while (XPending(FDisplay) > 0) {
      XEvent event;
      XNextEvent(FDisplay, &event);
      events.push_back(event);
    }
  }
  // Outside the trap: the form's handlers repaint, which takes traps of its own.
  for (std::size_t i = 0; i < events.size(); ++i)
    Dispatch(events[i], i + 1 < events.size() ? &events[i + 1] : nullptr);
}

void TX11FormBackend::Dispatch(const XEvent& event, const XEvent* next) {
  switch (event.type) {
  case ButtonPress:
    Press(event.xbutton);
    break;
  case ButtonRelease:
    if (const auto button = ToButton(event.xbutton.button))
      // The state is the one before the event: the released button is still in it.
      FClient.MouseUp(*button, ToShift(event.xbutton.state) & ~ButtonFlag(*button), event.xbutton.x,
                      event.xbutton.y);
    break;
  case LeaveNotify:
    if (event.xcrossing.detail != NotifyInferior)
      FClient.MouseLeave();
    break;
  case KeyPress:
    Key(event.xkey);
    break;
  case FocusOut:
    if (FocusTakenAway(event.xfocus))
      FClient.KeyboardFocusLost();
    break;
  case MotionNotify:
    // Of a run of moves only the last position matters.
    if (!next || next->type != MotionNotify)
      FClient.MouseMove(ToShift(event.xmotion.state), event.xmotion.x, event.xmotion.y);
    break;
  default: // exposure is repaired by the server from the background pixmap
    break;
  }
}

void TX11FormBackend::Press(const XButtonEvent& event) {
  if (const auto notch = ToWheelNotch(event.button)) {
    FClient.MouseWheel(ToShift(event.state), notch->Axis, notch->Delta, event.x, event.y);
    return;
  }
  const auto button = ToButton(event.button);
  if (!button)
    return;
  TShiftState shift = ToShift(event.state) | ButtonFlag(*button);
  if (IsDoubleClick(event))
    shift |= ssDouble;
  FClient.MouseDown(*button, shift, event.x, event.y);
}

// No input method: a value needs no composed characters.
void TX11FormBackend::Key(XKeyEvent event) {
  char text[8];
  KeySym symbol = NoSymbol;
  const int length = XLookupString(&event, text, sizeof text, &symbol, nullptr);
  if (const auto key = ToEditKey(symbol))
    FClient.KeyDown(*key, ToShift(event.state));
  else if (length == 1)
    FClient.CharTyped(text[0]);
}

void TX11FormBackend::TakeKeyboardFocus() {
  TX11ErrorTrap trap(FDisplay);
  XGetInputFocus(FDisplay, &FPreviousFocus, &FPreviousRevert);
  XSelectInput(FDisplay, FWindow, kEditingEventMask);
  XSetInputFocus(FDisplay, FWindow, RevertToParent, CurrentTime);
  XFlush(FDisplay);
}

// Where the window that had the keyboard is gone, the pointer decides.
void TX11FormBackend::ReturnKeyboardFocus() {
  TX11ErrorTrap trap(FDisplay);
  XSelectInput(FDisplay, FWindow, kEventMask);
  Window focus = None;
  int revert = RevertToParent;
  XGetInputFocus(FDisplay, &focus, &revert);
  if (focus == FWindow) {
    XSetInputFocus(FDisplay, FPreviousFocus, FPreviousRevert, CurrentTime);
    if (trap.Failed())
      XSetInputFocus(FDisplay, PointerRoot, RevertToPointerRoot, CurrentTime);
  }
  XFlush(FDisplay);
}

bool TX11FormBackend::IsDoubleClick(const XButtonEvent& event) {
  const bool isDouble = FFirstClickPending && event.button == FLastButton &&
                        static_cast<std::uint32_t>(event.time - FLastTime) <= kDoubleClickTime &&
                        std::abs(event.x_root - FLastX) <= kDoubleClickDistance &&
                        std::abs(event.y_root - FLastY) <= kDoubleClickDistance;
  // After a double click the next press starts a new pair.
  FFirstClickPending = !isDouble;
  FLastButton = event.button;
  FLastTime = event.time;
  FLastX = event.x_root;
  FLastY = event.y_root;
  return isDouble;
}

} // namespace

std::unique_ptr<TFormBackend> CreatePlatformFormBackend(TFormBackendClient& client,
                                                        void* parentWindow) {
  return std::make_unique<TX11FormBackend>(
      client, static_cast<Window>(reinterpret_cast<std::uintptr_t>(parentWindow)));
}
