// Picking an item of the editor's zoom menu with real pointer input, as a
// user does: right-click the backdrop, wait for the menu, click the item.
#pragma once

#include "xhost/XSession.h"

#include <functional>

// The menu's items in order: 100 %, 125 %, 150 %, 200 %, 250 %, 300 %, "Follow host".
inline constexpr int kZoomMenu200Percent = 3;

// screen: the editor's pixels now; runUntil: runs the host's loop until its
// condition holds, false when it never did. False when the menu did not open.
inline bool PickZoomMenuItem(TXSession& x, Window editor, int item,
                             const std::function<TPixels()>& screen,
                             const std::function<bool(const std::function<bool()>&)>& runUntil) {
  constexpr unsigned kLeftButton = 1;
  constexpr unsigned kRightButton = 3;
  // The menu opens where the backdrop is clicked, its items 18 pixels each
  // below a 3-pixel edge.
  constexpr int kClickX = 10;
  constexpr int kClickY = 10;
  const TPixels closed = screen();
  x.MovePointerIn(editor, kClickX, kClickY);
  x.Press(kRightButton);
  x.Release(kRightButton);
  if (!runUntil([&] { return screen() != closed; }))
    return false;
  x.MovePointerIn(editor, kClickX + 46, kClickY + 3 + item * 18 + 9);
  x.Press(kLeftButton);
  x.Release(kLeftButton);
  return true;
}
