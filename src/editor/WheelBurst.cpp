#include "editor/WheelBurst.h"

void TWheelBurst::Notch(TVSTParameter& param, TClock::time_point now) {
  FGesture.Begin(&param, nullptr);
  FLastNotch = now;
}

void TWheelBurst::Idle(TClock::time_point now) {
  if (Active() && now - FLastNotch >= kPause)
    End();
}
