// The desktop's scale as an X11 form finds it: GDK_SCALE, else the server's
// Xft.dpi resource over 96. Skipped when there is no display.
// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include "toolkit/linux/X11Support.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets the server's resource database (as xrdb does) and GDK_SCALE for one
// case, and puts both back afterwards.
class TDesktopSettings {
public:
  explicit TDesktopSettings(Display* display) : FDisplay(display) {}
  ~TDesktopSettings() {
    XDeleteProperty(FDisplay, DefaultRootWindow(FDisplay), XA_RESOURCE_MANAGER);
    XSync(FDisplay, False);
    unsetenv("GDK_SCALE");
  }
  TDesktopSettings(const TDesktopSettings&) = delete;
  TDesktopSettings& operator=(const TDesktopSettings&) = delete;

  void Set(const std::optional<std::string>& resources, const std::optional<std::string>& gdk) {
    const Window root = DefaultRootWindow(FDisplay);
    if (resources)
      XChangeProperty(FDisplay, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(resources->data()),
                      static_cast<int>(resources->size()));
    else
      XDeleteProperty(FDisplay, root, XA_RESOURCE_MANAGER);
    XSync(FDisplay, False);
    if (gdk)
      setenv("GDK_SCALE", gdk->c_str(), 1);
    else
      unsetenv("GDK_SCALE");
  }

private:
  Display* FDisplay;
};

TEST(X11DesktopScale, GdkScaleFirstThenXftDpiOverNinetySix) {
  Display* display = XOpenDisplay(nullptr);
  if (!display)
    GTEST_SKIP() << "no X display";
  struct TCase {
    const char* Name;
    std::optional<std::string> Resources;
    std::optional<std::string> Gdk;
    double Expected;
  };
  const TCase cases[] = {
      {"Nothing", std::nullopt, std::nullopt, 0},
      {"XftDpi", "Xcursor.size:\t24\nXft.dpi:\t144\n", std::nullopt, 1.5},
      {"GdkScaleWins", "Xft.dpi:\t144\n", "2", 2},
      {"GarbledGdkScale", "Xft.dpi:\t192\n", "two", 2},
      {"GarbledDpi", "Xft.dpi:\tlots\n", std::nullopt, 0},
      {"OtherResourcesOnly", "Xft.antialias:\t1\n", std::nullopt, 0},
  };
  {
    TDesktopSettings settings(display);
    for (const TCase& c : cases) {
      settings.Set(c.Resources, c.Gdk);
      // The resource string is read when a connection opens, as a form's does.
      Display* form = XOpenDisplay(nullptr);
      ASSERT_NE(form, nullptr);
      EXPECT_EQ(X11DesktopScale(form), c.Expected) << c.Name;
      XCloseDisplay(form);
    }
  }
  XCloseDisplay(display);
}

} // namespace
