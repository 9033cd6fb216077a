// The test's side of a real X server: its own connection, a top-level window
// playing the host's plug-in window, pointer and keyboard input through XTest
// and screenshots of what the server shows.
#pragma once

#include "hostlib/PluginHost.h"

// Xlib's macros (None, Bool) clash with names inside gtest: gtest goes first.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// 0x00RRGGBB, rows top down.
struct TPixels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Data;
  bool operator==(const TPixels&) const = default;
};

// A position inside a window.
struct TPoint {
  int X;
  int Y;
};

// Where two pictures differ, worded for a failure message; empty when equal.
std::string DescribeDifference(const TPixels& actual, const TPixels& expected);

class TXSession {
public:
  TXSession();
  ~TXSession();
  TXSession(const TXSession&) = delete;
  TXSession& operator=(const TXSession&) = delete;

  Display* Connection() const { return FDisplay; }
  explicit operator bool() const { return FDisplay != nullptr; }

  // A mapped top-level window; returns once the server reports it mapped.
  Window CreateHostWindow(int width, int height);
  void DestroyWindow(Window window);
  std::vector<Window> Children(Window window);
  bool Viewable(Window window);
  // Width and height as the server has them once it has seen every request; 0 x 0 for no window.
  std::pair<int, int> WindowSize(Window window);
  // The window's top-left corner in root coordinates.
  void RootOrigin(Window window, int& x, int& y);
  TPixels Screenshot(Window window, int width, int height);

  // Real input, as the server would get it from a mouse; positions are root
  // coordinates. Each call waits until the server has processed it.
  void MovePointer(int x, int y);
  // The same, at a position inside `window`.
  void MovePointerIn(Window window, int x, int y);
  void Press(unsigned button);
  void Release(unsigned button);
  // A drag with `button` from `from` inside `window`, in moves of at most 10
  // pixels, as a hand would make it.
  void DragIn(Window window, TPoint from, int dx, int dy, unsigned button);
  // A failed test must not leave a button held for the next one.
  void ReleaseButtons();

  // Keys as a keyboard sends them, to whichever window has the keyboard:
  // one key pressed and released, with Shift held when `shift`; each of the
  // printable ASCII characters of `text`, with Shift where the layout needs it.
  void TapKey(KeySym key, bool shift = false);
  void Type(const std::string& text);
  void HoldShift(bool down);
  // The window that has the keyboard now (or None, PointerRoot).
  Window KeyboardFocus();

private:
  Display* FDisplay = nullptr;
};

// Calls effEditIdle until `done` holds or a generous deadline passes; the
// plug-in reads its own connection, so events arrive there a little later.
bool IdleUntil(const glowrasp::host::Plugin& plugin, const std::function<bool()>& done,
               std::chrono::milliseconds patience = std::chrono::seconds(10));

// Open file descriptors of this process.
int OpenFileCount();
