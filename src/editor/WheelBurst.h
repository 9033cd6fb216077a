// The wheel's notches on a knob as gestures: the host hears one begin at the
// first notch of a burst and one end when the hand rests (kPause without a
// notch, seen at the editor's idle) or the pointer leaves the knob, so a
// host recording in touch mode records the burst as one touch.
#pragma once

#include "editor/EditGesture.h"

#include <chrono>

class TWheelBurst {
public:
  using TClock = std::chrono::steady_clock;
  static constexpr TClock::duration kPause = std::chrono::milliseconds(300);

  bool Active() const { return FGesture.Active(); }
  // A notch on `param` at `now`: takes hold of it unless already holding.
  void Notch(TVSTParameter& param, TClock::time_point now);
  // Lets go once the last notch is kPause old.
  void Idle(TClock::time_point now);
  void End() { FGesture.End(); }
  // The parameter went away: there is nobody left to tell.
  void Forget() { FGesture.Forget(); }

private:
  TEditGesture FGesture;
  TClock::time_point FLastNotch;
};
