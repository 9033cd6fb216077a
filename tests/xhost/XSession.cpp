#include "xhost/XSession.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace {

// One channel of a pixel, scaled to 8 bits, whatever the visual's layout.
std::uint32_t Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0)
    return 0;
  const int shift = std::countr_zero(mask);
  const unsigned long max = mask >> shift;
  return static_cast<std::uint32_t>(((pixel & mask) >> shift) * 255 / max);
}

} // namespace

std::string DescribeDifference(const TPixels& actual, const TPixels& expected) {
  if (actual.Width != expected.Width || actual.Height != expected.Height)
    return "size " + std::to_string(actual.Width) + " x " + std::to_string(actual.Height) +
           ", expected " + std::to_string(expected.Width) + " x " + std::to_string(expected.Height);
  int count = 0;
  std::ostringstream first;
  for (int y = 0; y < actual.Height; ++y)
    for (int x = 0; x < actual.Width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * actual.Width + x;
      if (actual.Data[i] == expected.Data[i])
        continue;
      if (count++ == 0)
        first << "first at (" << x << ", " << y << "): 0x" << std::hex << actual.Data[i]
              << " instead of 0x" << expected.Data[i];
    }
  if (count == 0)
    return {};
  return std::to_string(count) + " pixels differ, " + first.str();
}

TXSession::TXSession() : FDisplay(XOpenDisplay(nullptr)) {}

TXSession::~TXSession() {
  if (FDisplay)
    XCloseDisplay(FDisplay);
}

Window TXSession::CreateHostWindow(int width, int height) {
  const int screen = DefaultScreen(FDisplay);
  const Window window = XCreateSimpleWindow(
      FDisplay, RootWindow(FDisplay, screen), 40, 30, static_cast<unsigned>(width),
      static_cast<unsigned>(height), 0, BlackPixel(FDisplay, screen), BlackPixel(FDisplay, screen));
  XSelectInput(FDisplay, window, StructureNotifyMask);
  XMapRaised(FDisplay, window);
  XEvent event;
  do
    XWindowEvent(FDisplay, window, StructureNotifyMask, &event);
  while (event.type != MapNotify);
  return window;
}

void TXSession::DestroyWindow(Window window) {
  XDestroyWindow(FDisplay, window);
  XSync(FDisplay, False);
}

std::vector<Window> TXSession::Children(Window window) {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  std::vector<Window> result;
  if (XQueryTree(FDisplay, window, &root, &parent, &children, &count)) {
    result.assign(children, children + count);
    if (children)
      XFree(children);
  }
  return result;
}

bool TXSession::Viewable(Window window) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(FDisplay, window, &attributes) && attributes.map_state == IsViewable;
}

std::pair<int, int> TXSession::WindowSize(Window window) {
  XSync(FDisplay, False);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(FDisplay, window, &attributes))
    return {0, 0};
  return {attributes.width, attributes.height};
}

void TXSession::RootOrigin(Window window, int& x, int& y) {
  Window child = 0;
  XTranslateCoordinates(FDisplay, window, DefaultRootWindow(FDisplay), 0, 0, &x, &y, &child);
}

TPixels TXSession::Screenshot(Window window, int width, int height) {
  TPixels pixels{width, height, {}};
  XImage* image = XGetImage(FDisplay, window, 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image)
    return pixels;
  pixels.Data.reserve(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      pixels.Data.push_back(Channel(pixel, image->red_mask) << 16 |
                            Channel(pixel, image->green_mask) << 8 |
                            Channel(pixel, image->blue_mask));
    }
  XDestroyImage(image);
  return pixels;
}

void TXSession::MovePointer(int x, int y) {
  XTestFakeMotionEvent(FDisplay, DefaultScreen(FDisplay), x, y, CurrentTime);
  XSync(FDisplay, False);
}

void TXSession::MovePointerIn(Window window, int x, int y) {
  int left = 0;
  int top = 0;
  RootOrigin(window, left, top);
  MovePointer(left + x, top + y);
}

void TXSession::Press(unsigned button) {
  XTestFakeButtonEvent(FDisplay, button, True, CurrentTime);
  XSync(FDisplay, False);
}

void TXSession::Release(unsigned button) {
  XTestFakeButtonEvent(FDisplay, button, False, CurrentTime);
  XSync(FDisplay, False);
}

void TXSession::DragIn(Window window, TPoint from, int dx, int dy, unsigned button) {
  MovePointerIn(window, from.X, from.Y);
  Press(button);
  const int moves = std::max({1, (std::abs(dx) + 9) / 10, (std::abs(dy) + 9) / 10});
  for (int i = 1; i <= moves; ++i)
    MovePointerIn(window, from.X + dx * i / moves, from.Y + dy * i / moves);
  Release(button);
}

void TXSession::ReleaseButtons() {
  Window root = 0;
  Window child = 0;
  int x = 0;
  int y = 0;
  unsigned mask = 0;
  XQueryPointer(FDisplay, DefaultRootWindow(FDisplay), &root, &child, &x, &y, &x, &y, &mask);
  for (unsigned button = 1; button <= 5; ++button)
    if (mask & (Button1Mask << (button - 1)))
      Release(button);
}

void TXSession::HoldShift(bool down) {
  XTestFakeKeyEvent(FDisplay, XKeysymToKeycode(FDisplay, XK_Shift_L), down ? True : False,
                    CurrentTime);
  XSync(FDisplay, False);
}

void TXSession::TapKey(KeySym key, bool shift) {
  const KeyCode code = XKeysymToKeycode(FDisplay, key);
  ASSERT_NE(code, 0) << "no key for keysym " << key;
  if (shift)
    HoldShift(true);
  XTestFakeKeyEvent(FDisplay, code, True, CurrentTime);
  XTestFakeKeyEvent(FDisplay, code, False, CurrentTime);
  XSync(FDisplay, False);
  if (shift)
    HoldShift(false);
}

// Latin-1 keysyms are the characters' codes.
void TXSession::Type(const std::string& text) {
  for (const char c : text) {
    const auto key = static_cast<KeySym>(static_cast<unsigned char>(c));
    const KeyCode code = XKeysymToKeycode(FDisplay, key);
    ASSERT_NE(code, 0) << "no key types '" << c << "'";
    TapKey(key, XkbKeycodeToKeysym(FDisplay, code, 0, 0) != key);
  }
}

Window TXSession::KeyboardFocus() {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(FDisplay, &focus, &revert);
  return focus;
}

bool IdleUntil(const glowrasp::host::Plugin& plugin, const std::function<bool()>& done,
               std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    plugin.dispatch(effEditIdle);
    if (done())
      return true;
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int OpenFileCount() {
  const auto entries = std::filesystem::directory_iterator("/proc/self/fd");
  return static_cast<int>(std::distance(begin(entries), end(entries)));
}
