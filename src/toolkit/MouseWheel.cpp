#include "toolkit/MouseWheel.h"

int TWheelAccumulator::Add(int delta) {
  if ((delta > 0 && FRemainder < 0) || (delta < 0 && FRemainder > 0))
    FRemainder = 0;
  // Wide enough for any delta; the quotient of a 64-bit sum by a notch fits an int.
  const long long sum = static_cast<long long>(FRemainder) + delta;
  const long long notches = sum / kWheelNotch;
  FRemainder = static_cast<int>(sum - notches * kWheelNotch);
  return static_cast<int>(notches);
}
