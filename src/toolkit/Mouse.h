// Mouse buttons and the shift state that comes with every press, move and
// release: held modifier keys and buttons, and the double-click mark.
#pragma once

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// A set of the flags below.
using TShiftState = unsigned;
enum TShiftFlag : unsigned {
  ssShift = 1u << 0,
  ssAlt = 1u << 1,
  ssCtrl = 1u << 2,
  ssLeft = 1u << 3,
  ssRight = 1u << 4,
  ssMiddle = 1u << 5,
  ssDouble = 1u << 6,
};

inline constexpr TShiftState kMouseButtons = ssLeft | ssRight | ssMiddle;

// The shift flag of a held button.
constexpr TShiftState ButtonFlag(TMouseButton button) {
  switch (button) {
  case mbLeft:
    return ssLeft;
  case mbRight:
    return ssRight;
  case mbMiddle:
    return ssMiddle;
  }
  return 0;
}
