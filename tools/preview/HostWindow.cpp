#include "preview/HostWindow.h"

#include "hostlib/PluginHost.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace glowrasp::preview {

HostWindow::HostWindow(int width, int height, const std::string& title) {
  display_ = XOpenDisplay(nullptr);
  if (!display_)
    throw host::HostError("cannot open the X display (is DISPLAY set?)");
  const int screen = DefaultScreen(display_);
  window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0,
                                static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                BlackPixel(display_, screen), BlackPixel(display_, screen));
  XStoreName(display_, window_, title.c_str());
  XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False),
                  XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()),
                  static_cast<int>(title.size()));

  // The editor has one size; a resizable frame would only show black margins.
  XSizeHints* hints = XAllocSizeHints();
  hints->flags = PMinSize | PMaxSize;
  hints->min_width = hints->max_width = width;
  hints->min_height = hints->max_height = height;
  XSetWMNormalHints(display_, window_, hints);
  XFree(hints);

  protocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
  deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display_, window_, &deleteWindow_, 1);
  XSelectInput(display_, window_, StructureNotifyMask);
}

HostWindow::~HostWindow() {
  XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
}

void HostWindow::show() {
  XMapRaised(display_, window_);
  XFlush(display_);
}

bool HostWindow::processEvents() {
  bool open = true;
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == ClientMessage && event.xclient.message_type == protocols_ &&
        static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_)
      open = false;
  }
  return open;
}

} // namespace glowrasp::preview
