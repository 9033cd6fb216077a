// The fuzzer's random source: xoshiro256** seeded through splitmix64, so that
// one seed gives the same call sequence on every platform and compiler.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>

class TRandom {
public:
  explicit TRandom(std::uint64_t seed) {
    for (std::uint64_t& word : FState) {
      seed += 0x9e3779b97f4a7c15ULL;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
      word = z ^ (z >> 31);
    }
  }

  std::uint64_t Next() {
    const std::uint64_t result = Rotate(FState[1] * 5, 7) * 9;
    const std::uint64_t t = FState[1] << 17;
    FState[2] ^= FState[0];
    FState[3] ^= FState[1];
    FState[1] ^= FState[2];
    FState[0] ^= FState[3];
    FState[2] ^= t;
    FState[3] = Rotate(FState[3], 45);
    return result;
  }

  // 0 … n − 1; n > 0.
  std::uint64_t Below(std::uint64_t n) { return Next() % n; }
  int Between(int low, int high) { return low + static_cast<int>(Below(high - low + 1)); }
  bool Chance(int percent) { return Below(100) < static_cast<std::uint64_t>(percent); }
  // A uniform float in [−1, 1).
  float Unit() { return static_cast<float>(static_cast<double>(Next() >> 11) * 0x1p-52 - 1.0); }
  float Bits() {
    const auto bits = static_cast<std::uint32_t>(Next());
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }

  template <class T>
  T Pick(std::initializer_list<T> choices) {
    return choices.begin()[Below(choices.size())];
  }

private:
  static std::uint64_t Rotate(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

  std::uint64_t FState[4];
};
