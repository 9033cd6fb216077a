// The preview's own top-level window on its own X connection: the parent the
// plug-in's editor lives in, as a host's plug-in window would be.
#pragma once

#include <X11/Xlib.h>

#include <string>

namespace glowrasp::preview {

class HostWindow {
public:
  // Opens the display named by DISPLAY and creates an unmapped window with a
  // fixed client size. Throws host::HostError when there is no display.
  HostWindow(int width, int height, const std::string& title);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  Window id() const { return FWindow; }
  // Readable when the server has something for this connection.
  int fd() const { return ConnectionNumber(FDisplay); }
  void show();
  // A new fixed client size, when the editor asks for one (a new zoom).
  void resize(int width, int height);
  // Handles every event waiting; false once the user asked to close the window.
  bool processEvents();

private:
  void fixSize(int width, int height);

  Display* FDisplay = nullptr;
  Window FWindow = 0;
  Atom FDeleteWindow = 0;
  Atom FProtocols = 0;
};

} // namespace glowrasp::preview
