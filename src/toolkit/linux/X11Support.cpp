#include "toolkit/linux/X11Support.h"

#include <X11/Xutil.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace {

// Guarded by gTrapLock. Xlib keeps one error handler per process.
std::recursive_mutex gTrapLock;
Display* gTrapDisplay = nullptr;
int gTrapError = 0;
XErrorHandler gOuterHandler = nullptr;

int TrapError(Display* display, XErrorEvent* event) {
  if (display == gTrapDisplay) {
    if (gTrapError == 0)
      gTrapError = event->error_code;
    return 0;
  }
  return gOuterHandler ? gOuterHandler(display, event) : 0;
}

struct TChannel {
  int Shift;
  int Bits;
};

TChannel Channel(unsigned long mask) {
  return {std::countr_zero(mask), std::popcount(mask)};
}

unsigned long Scale(std::uint32_t value8, TChannel channel) {
  if (channel.Bits >= 8)
    return static_cast<unsigned long>(value8) << (channel.Shift + channel.Bits - 8);
  return static_cast<unsigned long>(value8 >> (8 - channel.Bits)) << channel.Shift;
}

bool IsNativeRgb32(const XImage& image, const Visual& visual) {
  return image.depth == 24 && image.bits_per_pixel == 32 && visual.red_mask == 0xFF0000 &&
         visual.green_mask == 0xFF00 && visual.blue_mask == 0xFF;
}

} // namespace

TX11ErrorTrap::TX11ErrorTrap(Display* display)
    : FLock(gTrapLock), FDisplay(display), FSavedDisplay(gTrapDisplay), FSavedError(gTrapError),
      FSavedOuter(gOuterHandler) {
  FPrevious = XSetErrorHandler(TrapError);
  if (FPrevious != TrapError)
    gOuterHandler = FPrevious;
  gTrapDisplay = display;
  gTrapError = 0;
}

TX11ErrorTrap::~TX11ErrorTrap() {
  XSetErrorHandler(FPrevious);
  gTrapDisplay = FSavedDisplay;
  gTrapError = FSavedError;
  gOuterHandler = FSavedOuter;
}

bool TX11ErrorTrap::Failed() {
  XSync(FDisplay, False);
  return gTrapError != 0;
}

TX11Visual ChooseVisual(Display* display, int screen) {
  XVisualInfo info;
  for (const int depth : {24, 32})
    if (XMatchVisualInfo(display, screen, depth, TrueColor, &info))
      return {info.visual, info.depth};
  return {};
}

void PutPixels(Display* display, Drawable drawable, GC gc, const TX11Visual& visual,
               const TBitmap& pixels, const TRect& area) {
  const TRect part = area.Intersect({0, 0, pixels.Width(), pixels.Height()});
  if (part.Empty())
    return;
  // The back buffer itself is the image data when the server's pixel layout
  // matches it; XPutImage swaps bytes if the server's byte order differs.
  auto* data = const_cast<char*>(reinterpret_cast<const char*>(pixels.Pixels().data()));
  XImage* image = XCreateImage(display, visual.Type, static_cast<unsigned>(visual.Depth), ZPixmap,
                               0, data, static_cast<unsigned>(pixels.Width()),
                               static_cast<unsigned>(pixels.Height()), 32, pixels.Width() * 4);
  if (!image)
    return;
  image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  if (IsNativeRgb32(*image, *visual.Type)) {
    XPutImage(display, drawable, gc, image, part.Left, part.Top, part.Left, part.Top,
              static_cast<unsigned>(part.Width()), static_cast<unsigned>(part.Height()));
    image->data = nullptr; // the pixels belong to the bitmap
    XDestroyImage(image);
    return;
  }
  image->data = nullptr;
  XDestroyImage(image);

  // Any other TrueColor layout: convert the area pixel by pixel.
  XImage* converted = XCreateImage(display, visual.Type, static_cast<unsigned>(visual.Depth),
                                   ZPixmap, 0, nullptr, static_cast<unsigned>(part.Width()),
                                   static_cast<unsigned>(part.Height()), 32, 0);
  if (!converted)
    return;
  converted->data =
      static_cast<char*>(std::malloc(static_cast<std::size_t>(converted->bytes_per_line) *
                                     static_cast<std::size_t>(part.Height())));
  if (!converted->data) {
    XDestroyImage(converted);
    return;
  }
  const TChannel red = Channel(visual.Type->red_mask);
  const TChannel green = Channel(visual.Type->green_mask);
  const TChannel blue = Channel(visual.Type->blue_mask);
  // A 32-bit visual's spare bits are alpha: make every pixel opaque.
  const unsigned long alpha =
      visual.Depth == 32 ? 0xFFFFFFFFul & ~(visual.Type->red_mask | visual.Type->green_mask |
                                            visual.Type->blue_mask)
                         : 0;
  for (int y = 0; y < part.Height(); ++y)
    for (int x = 0; x < part.Width(); ++x) {
      const TColor c = pixels.Pixel(part.Left + x, part.Top + y);
      XPutPixel(converted, x, y,
                alpha | Scale(c >> 16 & 0xFF, red) | Scale(c >> 8 & 0xFF, green) |
                    Scale(c & 0xFF, blue));
    }
  XPutImage(display, drawable, gc, converted, 0, 0, part.Left, part.Top,
            static_cast<unsigned>(part.Width()), static_cast<unsigned>(part.Height()));
  XDestroyImage(converted); // frees the data too
}

void ReleaseWindow(Display* display, Window window, GC gc, Colormap colormap, Pixmap pixmap) {
  TX11ErrorTrap trap(display);
  if (pixmap != None)
    XFreePixmap(display, pixmap);
  if (gc)
    XFreeGC(display, gc);
  if (window != None)
    XDestroyWindow(display, window);
  if (colormap != None)
    XFreeColormap(display, colormap);
  trap.Failed();
}

namespace {

// A number that is the whole of `text` (surrounding blanks aside), else 0.
double Number(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  const auto last = text.find_last_not_of(" \t\r");
  if (first == std::string_view::npos)
    return 0;
  text = text.substr(first, last - first + 1);
  double value = 0;
  const auto [rest, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && rest == text.data() + text.size() && std::isfinite(value) ? value
                                                                                           : 0;
}

double ResourceDpi(Display* display) {
  const char* resources = XResourceManagerString(display);
  std::string_view rest = resources ? resources : "";
  constexpr std::string_view kKey = "Xft.dpi:";
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.starts_with(kKey))
      return Number(line.substr(kKey.size()));
  }
  return 0;
}

} // namespace

double X11DesktopScale(Display* display) {
  if (const char* gdk = std::getenv("GDK_SCALE"))
    if (const double scale = Number(gdk); scale >= 1)
      return scale;
  const double dpi = ResourceDpi(display);
  return dpi > 0 ? dpi / 96 : 0;
}
