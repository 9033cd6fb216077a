// Rounding a double to a float can only go another way than rounding the
// exact value when the double lies on, or for an approximate double near, a
// float's midpoint: the cheap conversions check this and take the exact road
// only there.
#pragma once

#include <bit>
#include <cstdint>

// Whether d lies within `ulps` units of a double's last place of a point
// halfway between two floats (their 29 bits below a float's precision are a
// one followed by zeros). Exact results need 0.
constexpr bool NearFloatMidpoint(double d, std::int64_t ulps) {
  constexpr std::int64_t kBelowFloat = (std::int64_t{1} << 29) - 1;
  constexpr std::int64_t kMidpoint = std::int64_t{1} << 28;
  const std::int64_t low = static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(d)) & kBelowFloat;
  const std::int64_t distance = low - kMidpoint;
  return distance <= ulps && -distance <= ulps;
}
