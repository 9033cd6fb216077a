// What a form needs from the window system. Each platform has one backend,
// and the offscreen one needs none.
#pragma once

#include "toolkit/Bitmap.h"
#include "toolkit/Graphics.h"
#include "toolkit/Keyboard.h"
#include "toolkit/Mouse.h"
#include "toolkit/MouseWheel.h"

#include <memory>
#include <string>

// The few calls a backend makes into its form, all on the form's thread.
class TFormBackendClient {
public:
  // The size the window starts with.
  virtual TSize ClientSize() const = 0;
  // The window must show `area` (client coordinates) again: the form's
  // picture, brought up to date first.
  virtual const TBitmap& PaintRect(const TRect& area) = 0;
  // Pointer input in client coordinates; `shift` holds the buttons down
  // after a press and before a release, and ssDouble on a double click.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y) = 0;
  virtual void MouseMove(TShiftState shift, int x, int y) = 0;
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y) = 0;
  // A wheel's delta (kWheelNotch a notch, up and right positive) with the
  // pointer at (x, y): true when a control took it. The pointer left the window.
  virtual bool MouseWheel(TShiftState shift, TWheelAxis axis, int delta, int x, int y) = 0;
  virtual void MouseLeave() = 0;
  // Keys, while the form holds the keyboard: true when a control took the
  // key, false to leave it to whoever else wants it.
  virtual bool KeyDown(TEditKey key, TShiftState shift) = 0;
  virtual bool CharTyped(char c) = 0;
  // Another window took the keyboard from the form.
  virtual void KeyboardFocusLost() = 0;
  // The backend's own timer, where the host drives no idle of its own.
  virtual void Idle() = 0;

protected:
  ~TFormBackendClient() = default;
};

class TFormBackend {
public:
  virtual ~TFormBackend() = default;
  // Position in the parent window and size.
  virtual void SetBounds(const TRect& bounds) = 0;
  virtual void Show() = 0;
  // Takes the window off the screen; Show brings it back.
  virtual void Hide() = 0;
  // The window text, for window managers, task lists and accessibility tools.
  virtual void SetCaption(const std::string&) {}
  // The back buffer changed inside `area` (client coordinates): show it.
  virtual void Present(const TBitmap& backBuffer, const TRect& area) = 0;
  // While a control edits text the window holds the keyboard: Take remembers
  // which window had it, Return gives it back there unless another window
  // has taken it meanwhile. Keys reach the window only in between.
  virtual void TakeKeyboardFocus() {}
  virtual void ReturnKeyboardFocus() {}
  // Handles the window events waiting for the form (input, exposure).
  virtual void ProcessEvents() = 0;
  // The desktop's scale for the window (pixels per 96-dpi pixel): the
  // user's font resolution or toolkit scale on X11, the window's monitor DPI
  // on Windows; 0 when the desktop says nothing (offscreen).
  virtual double DesktopScale() const { return 0; }
  // The native window that shows the form (an X11 Window id, an HWND), for
  // hosts that embed it by its handle; null offscreen.
  virtual void* WindowHandle() const { return nullptr; }
  // A file descriptor that is readable when window events wait, for hosts
  // that pump them from their own run loop; -1 where there is none.
  virtual int EventDescriptor() const { return -1; }
};

// parentWindow null gives the offscreen backend.
std::unique_ptr<TFormBackend> CreateFormBackend(TFormBackendClient& client, void* parentWindow);
std::unique_ptr<TFormBackend> CreateOffscreenFormBackend();
// The platform's backend for a native parent window (in the platform's folder).
std::unique_ptr<TFormBackend> CreatePlatformFormBackend(TFormBackendClient& client,
                                                        void* parentWindow);
