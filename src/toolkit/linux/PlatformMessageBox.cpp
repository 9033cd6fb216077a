// A modal box of our own, drawn with the toolkit's canvas: hosts on Linux
// offer no dialog service, and a plug-in cannot count on any GUI library
// besides Xlib being loaded.
#include "toolkit/PlatformMessageBox.h"

#include "toolkit/BuiltinFont.h"
#include "toolkit/Canvas.h"
#include "toolkit/linux/X11Support.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include <poll.h>

namespace {

constexpr int kPadding = 16;
constexpr int kMaxTextWidth = 360;
constexpr int kMinWidth = 220;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr TColor kButtonFace = 0xE1E1E1;
constexpr TColor kButtonPressed = 0xCCE4F7;
constexpr TColor kButtonEdge = 0x707070;
constexpr const char* kTitle = "Kestrune Glowrasp";

void WriteToStandardError(std::string_view text) {
  std::fprintf(stderr, "%s: %.*s\n", kTitle, static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

// Breaks the text into lines no wider than `width`, at spaces where possible
// and inside words that are too long on their own.
std::vector<std::string> WrapText(std::string_view text, int width) {
  const TBitmapFont& font = BuiltinSansFont();
  std::vector<std::string> lines;
  std::string line;
  const auto flush = [&] {
    lines.push_back(line);
    line.clear();
  };
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = std::min(text.find_first_of(" \n", at), text.size());
    std::string_view word = text.substr(at, end - at);
    const std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
    if (font.TextWidth(candidate) <= width) {
      line = candidate;
    } else {
      if (!line.empty())
        flush();
      while (font.TextWidth(word) > width && word.size() > 1) {
        std::size_t fit = 1;
        while (fit < word.size() && font.TextWidth(word.substr(0, fit + 1)) <= width)
          ++fit;
        lines.emplace_back(word.substr(0, fit));
        word.remove_prefix(fit);
      }
      line = word;
    }
    if (end < text.size() && text[end] == '\n')
      flush();
    at = end + 1;
  }
  if (!line.empty() || lines.empty())
    flush();
  return lines;
}

class TMessageBoxWindow {
public:
  TMessageBoxWindow(Display* display, std::string_view text);
  ~TMessageBoxWindow();
  TMessageBoxWindow(const TMessageBoxWindow&) = delete;
  TMessageBoxWindow& operator=(const TMessageBoxWindow&) = delete;

  bool Valid() const { return FWindow != None; }
  // Until OK, Return, Escape or the window's close button.
  void Run();

private:
  void Render();
  bool Handle(const XEvent& event); // true: dismissed
  bool InButton(int x, int y) const { return FButton.Contains({x, y}); }

  Display* FDisplay;
  std::vector<std::string> FLines;
  TBitmap FImage;
  TRect FButton;
  bool FPressed = false;
  TX11Visual FVisual;
  Colormap FColormap = None;
  Window FWindow = None;
  GC FGC = nullptr;
  Atom FDeleteWindow = None;
};

TMessageBoxWindow::TMessageBoxWindow(Display* display, std::string_view text)
    : FDisplay(display), FLines(WrapText(text, kMaxTextWidth)) {
  const TBitmapFont& font = BuiltinSansFont();
  int textWidth = 0;
  for (const std::string& line : FLines)
    textWidth = std::max(textWidth, font.TextWidth(line));
  const int width = std::max(textWidth + 2 * kPadding, kMinWidth);
  const int textHeight = static_cast<int>(FLines.size()) * font.LineHeight;
  const int height = kPadding + textHeight + kPadding + kButtonHeight + kPadding * 3 / 4;
  FImage = TBitmap(width, height, clBtnFace);
  const int buttonTop = kPadding + textHeight + kPadding;
  FButton = {(width - kButtonWidth) / 2, buttonTop, (width + kButtonWidth) / 2,
             buttonTop + kButtonHeight};
  Render();

  TX11ErrorTrap trap(FDisplay);
  const int screen = DefaultScreen(FDisplay);
  FVisual = ChooseVisual(FDisplay, screen);
  if (!FVisual.Type)
    return;
  const Window root = RootWindow(FDisplay, screen);
  FColormap = XCreateColormap(FDisplay, root, FVisual.Type, AllocNone);
  XSetWindowAttributes attributes{};
  attributes.colormap = FColormap;
  attributes.border_pixel = 0;
  attributes.background_pixel = 0xF0F0F0;
  attributes.event_mask =
      ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask;
  const int x = std::max((DisplayWidth(FDisplay, screen) - width) / 2, 0);
  const int y = std::max((DisplayHeight(FDisplay, screen) - height) / 2, 0);
  FWindow =
      XCreateWindow(FDisplay, root, x, y, static_cast<unsigned>(width),
                    static_cast<unsigned>(height), 0, FVisual.Depth, InputOutput, FVisual.Type,
                    CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &attributes);
  XStoreName(FDisplay, FWindow, kTitle);
  FDeleteWindow = XInternAtom(FDisplay, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(FDisplay, FWindow, &FDeleteWindow, 1);
  XSizeHints* hints = XAllocSizeHints();
  if (hints) {
    hints->flags = PPosition | PMinSize | PMaxSize;
    hints->x = x;
    hints->y = y;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(FDisplay, FWindow, hints);
    XFree(hints);
  }
  const Atom type = XInternAtom(FDisplay, "_NET_WM_WINDOW_TYPE", False);
  const Atom dialog = XInternAtom(FDisplay, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(FDisplay, FWindow, type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&dialog), 1);
  FGC = XCreateGC(FDisplay, FWindow, 0, nullptr);
  XMapRaised(FDisplay, FWindow);
  if (trap.Failed() && FWindow != None) {
    XDestroyWindow(FDisplay, FWindow);
    FWindow = None;
  }
}

TMessageBoxWindow::~TMessageBoxWindow() {
  ReleaseWindow(FDisplay, FWindow, FGC, FColormap);
}

void TMessageBoxWindow::Render() {
  const TBitmapFont& font = BuiltinSansFont();
  TCanvas canvas(FImage, {0, 0}, {0, 0, FImage.Width(), FImage.Height()});
  canvas.BrushStyle = bsClear;
  canvas.Font.SetColor(clWindowText);
  int y = kPadding;
  for (const std::string& line : FLines) {
    canvas.TextRect(canvas.ClipRect(), kPadding, y, line);
    y += font.LineHeight;
  }
  canvas.PenColor = kButtonEdge;
  canvas.BrushColor = FPressed ? kButtonPressed : kButtonFace;
  canvas.BrushStyle = bsSolid;
  canvas.Rectangle(FButton.Left, FButton.Top, FButton.Right, FButton.Bottom);
  canvas.BrushStyle = bsClear;
  const TSize label = canvas.TextExtent("OK");
  canvas.TextRect(FButton, FButton.Left + (FButton.Width() - label.Width) / 2,
                  FButton.Top + (FButton.Height() - label.Height) / 2, "OK");
}

bool TMessageBoxWindow::Handle(const XEvent& event) {
  switch (event.type) {
  case Expose: {
    const XExposeEvent& e = event.xexpose;
    PutPixels(FDisplay, FWindow, FGC, FVisual, FImage, {e.x, e.y, e.x + e.width, e.y + e.height});
    return false;
  }
  case MapNotify:
    // Without a window manager nobody else gives the box the keyboard.
    XSetInputFocus(FDisplay, FWindow, RevertToParent, CurrentTime);
    return false;
  case ButtonPress:
  case ButtonRelease: {
    if (event.xbutton.button != Button1)
      return false;
    const bool inside = InButton(event.xbutton.x, event.xbutton.y);
    const bool clicked = event.type == ButtonRelease && FPressed && inside;
    const bool pressed = event.type == ButtonPress && inside;
    if (pressed != FPressed) {
      FPressed = pressed;
      Render();
      PutPixels(FDisplay, FWindow, FGC, FVisual, FImage, FButton);
    }
    return clicked;
  }
  case KeyPress: {
    const KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0);
    return key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space;
  }
  case ClientMessage:
    return static_cast<Atom>(event.xclient.data.l[0]) == FDeleteWindow;
  case DestroyNotify:
    FWindow = None;
    return true;
  default:
    return false;
  }
}

void TMessageBoxWindow::Run() {
  for (;;) {
    {
      TX11ErrorTrap trap(FDisplay);
      while (XPending(FDisplay) > 0) {
        XEvent event;
        XNextEvent(FDisplay, &event);
        if (Handle(event))
          return;
      }
    }
    // Wait for the server outside the trap, so that other windows' X calls go on.
    pollfd connection{ConnectionNumber(FDisplay), POLLIN, 0};
    if (poll(&connection, 1, -1) < 0 && errno != EINTR)
      return;
  }
}

} // namespace

void PlatformShowMessageBox(std::string_view text) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    WriteToStandardError(text);
    return;
  }
  {
    TMessageBoxWindow box(display, text);
    if (box.Valid())
      box.Run();
    else
      WriteToStandardError(text);
  }
  XCloseDisplay(display);
}
