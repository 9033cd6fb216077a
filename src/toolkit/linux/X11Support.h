// What the X11 form and the X11 message box share: catching X errors without
// disturbing the host's own handler, and putting back-buffer pixels on the server.
#pragma once

#include "toolkit/Bitmap.h"
#include "toolkit/Graphics.h"

#include <X11/Xlib.h>

#include <mutex>

// While it lives, X errors of `display` are recorded instead of reaching the
// process's handler (whose default ends the host); errors of other connections
// pass through to the handler that was installed before. Every call that sends
// to or reads from one of our connections runs inside a trap, so an error is
// always recorded by the trap of the call that reads it.
class TX11ErrorTrap {
public:
  explicit TX11ErrorTrap(Display* display);
  ~TX11ErrorTrap();
  TX11ErrorTrap(const TX11ErrorTrap&) = delete;
  TX11ErrorTrap& operator=(const TX11ErrorTrap&) = delete;

  // Waits until the server has handled every request so far; true when one failed.
  bool Failed();

private:
  std::unique_lock<std::recursive_mutex> FLock;
  Display* FDisplay;
  Display* FSavedDisplay;
  int FSavedError;
  XErrorHandler FSavedOuter;
  XErrorHandler FPrevious;
};

// A 24-bit TrueColor visual of the screen, so that the window's depth does not
// depend on the host's (a 32-bit parent would read our pixels as transparent).
struct TX11Visual {
  Visual* Type = nullptr;
  int Depth = 0;
};
TX11Visual ChooseVisual(Display* display, int screen);

// Frees what a window of ours holds and the window itself, each when there is
// one, inside a trap: an error about a window the host already destroyed must
// not reach the host's handler.
void ReleaseWindow(Display* display, Window window, GC gc, Colormap colormap, Pixmap pixmap = None);

// The desktop's scale: GDK_SCALE when the user sets it, else the font
// resolution Xft.dpi of the server's resource database over 96; 0 when
// neither says anything usable.
double X11DesktopScale(Display* display);

// Copies `area` of `pixels` to the same place in `drawable`.
void PutPixels(Display* display, Drawable drawable, GC gc, const TX11Visual& visual,
               const TBitmap& pixels, const TRect& area);
