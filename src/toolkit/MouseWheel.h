// Wheel input: deltas in the platforms' common unit, 120 to a notch, which
// smooth-scrolling devices send in smaller parts.
#pragma once

enum TWheelAxis { waVertical, waHorizontal };

inline constexpr int kWheelNotch = 120;

// Gathers one axis's deltas into whole notches. A remainder is kept for the
// next delta in the same direction; a turn of direction starts afresh, so a
// hand that changes its mind is not held back by what went the other way.
class TWheelAccumulator {
public:
  // The whole notches `delta` completes: up and right are positive.
  int Add(int delta);
  void Reset() { FRemainder = 0; }

private:
  int FRemainder = 0;
};
