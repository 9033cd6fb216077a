#include "preview/HostWindow.h"

#include "hostlib/PluginHost.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace glowrasp::preview {

HostWindow::HostWindow(int width, int height, const std::string& title) {
  FDisplay = XOpenDisplay(nullptr);
  if (!FDisplay)
    throw host::HostError("cannot open the X display (is DISPLAY set?)");
  const int screen = DefaultScreen(FDisplay);
  FWindow = XCreateSimpleWindow(FDisplay, RootWindow(FDisplay, screen), 0, 0,
                                static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                BlackPixel(FDisplay, screen), BlackPixel(FDisplay, screen));
  XStoreName(FDisplay, FWindow, title.c_str());
  XChangeProperty(FDisplay, FWindow, XInternAtom(FDisplay, "_NET_WM_NAME", False),
                  XInternAtom(FDisplay, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()),
                  static_cast<int>(title.size()));

  fixSize(width, height);

  FProtocols = XInternAtom(FDisplay, "WM_PROTOCOLS", False);
  FDeleteWindow = XInternAtom(FDisplay, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(FDisplay, FWindow, &FDeleteWindow, 1);
  XSelectInput(FDisplay, FWindow, StructureNotifyMask);
}

// The editor has one size at a time; a resizable frame would only show black margins.
void HostWindow::fixSize(int width, int height) {
  XSizeHints* hints = XAllocSizeHints();
  hints->flags = PMinSize | PMaxSize;
  hints->min_width = hints->max_width = width;
  hints->min_height = hints->max_height = height;
  XSetWMNormalHints(FDisplay, FWindow, hints);
  XFree(hints);
}

void HostWindow::resize(int width, int height) {
  if (width <= 0 || height <= 0)
    return;
  fixSize(width, height);
  XResizeWindow(FDisplay, FWindow, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XFlush(FDisplay);
}

HostWindow::~HostWindow() {
  XDestroyWindow(FDisplay, FWindow);
  XCloseDisplay(FDisplay);
}

void HostWindow::show() {
  XMapRaised(FDisplay, FWindow);
  XFlush(FDisplay);
}

bool HostWindow::processEvents() {
  bool open = true;
  while (XPending(FDisplay) > 0) {
    XEvent event;
    XNextEvent(FDisplay, &event);
    if (event.type == ClientMessage && event.xclient.message_type == FProtocols &&
        static_cast<Atom>(event.xclient.data.l[0]) == FDeleteWindow)
      open = false;
  }
  return open;
}

} // namespace glowrasp::preview
