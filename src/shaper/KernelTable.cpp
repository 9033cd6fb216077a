#include "shaper/KernelTable.h"

#include "base/ExtendedPrecision.h"
#include "base/ThreadSupport.h"
#include "shaper/ExtendedTrig.h"
#include "shaper/SinPi.h"

#include <algorithm>
#include <cmath>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

constexpr long double ExtendedPi = 3.14159265358979323846264338327950288L;
constexpr double Pi = 3.141592653589793238462643383279502884;
// The float nearest pi/6; it lies slightly above, which leaves the outermost
// window tap a tiny negative number instead of zero.
constexpr float WindowStep = 0.52359879016876220703125f;

float Cutoff(int k) {
  return static_cast<float>(1.0L - static_cast<long double>(k) / 60000.0L);
}

// The half-cosine window, a function of the tap alone, rounded to double as
// the definition asks.
double Window(int Offset) {
  return static_cast<double>(ExtendedCos((0.5L * WindowStep) * Offset));
}

#if defined(__i386__) || defined(__x86_64__)
// The double arithmetic of the build rounds to nearest, without flushing
// subnormals, whatever the calling host set.
class TSseDefaults {
public:
  TSseDefaults() : FSaved(_mm_getcsr()) { _mm_setcsr((FSaved & ~ControlBits) | 0x1F80u); }
  ~TSseDefaults() { _mm_setcsr(FSaved); }
  TSseDefaults(const TSseDefaults&) = delete;
  TSseDefaults& operator=(const TSseDefaults&) = delete;

private:
  // Rounding, exception masks, flush-to-zero and denormals-are-zero.
  static constexpr unsigned ControlBits = 0xFFC0u;
  const unsigned FSaved;
};
#else
struct TSseDefaults {};
#endif

// The largest integer not above x, for 0 <= x < 2^51, without a library
// call: adding 2^52 rounds to the nearest integer, a step back fixes ties
// and roundings up.
double Floor(double x) {
  const double nearest = (x + 0x1p52) - 0x1p52;
  return nearest > x ? nearest - 1.0 : nearest;
}

// A tap is W * L, W the window and L = sin(pi n fc) / (pi n), each rounded to
// double and their product rounded to float, where the definition evaluates L
// and the product in extended precision. Here L comes from an exact argument
// reduction (n fc is exact in double) and SinPi, within 2^-50 of the true
// value; the extended evaluation is within 2^-50 as well, except that its
// argument pi n fc carries an absolute error of up to 2^-62 |pi n fc|, which
// matters where the sine is small. Both roundings to float agree unless the
// product lies within the sum of these errors of a point halfway between two
// floats: such taps, and those whose sine is exactly zero (n fc a whole
// number: kernels 0, 15000, 30000 and 45000), are left to the extended
// evaluation. A few dozen taps in the whole table take that way.
//
// The loop is branch-free so that it becomes vector code; doubtful taps are
// only marked here.
void FastTaps(const float* Cutoffs, int Count, int n, double Window, float* Taps,
              unsigned char* Doubtful) {
  const double piN = Pi * n;
  for (int i = 0; i < Count; ++i) {
    const double turns = static_cast<double>(n) * Cutoffs[i];
    const double whole = Floor(turns + 0.5);
    const double fraction = turns - whole;
    const double sine = SinPi(fraction);
    const double half = 0.5 * whole;
    const bool even = Floor(half) == half;
    const double lowPass = (even ? sine : -sine) / piN;
    const double product = Window * lowPass;
    const float tap = static_cast<float>(product);

    const double argument = Pi * turns;
    const double magnitude = fraction == 0.0 ? 1.0 : std::fabs(sine);
    const double doubt = (0x1p-46 + 0x1p-55 * argument / magnitude) * std::fabs(product);
    Taps[i] = tap;
    Doubtful[i] = (fraction == 0.0) | (static_cast<float>(product - doubt) != tap) |
                  (static_cast<float>(product + doubt) != tap);
  }
}

} // namespace

float TKernelTable::ExtendedTap(int k, int Tap) {
  const int n = Tap - CentreTap;
  if (n == 0)
    return Cutoff(k);
  if (Tap == KernelLength - 1)
    return 0.0f;
  const TExtendedPrecision precision;
  const long double phase = ExtendedPi * n;
  const double lowPass = static_cast<double>(ExtendedSin(phase * Cutoff(k)) / phase);
  return static_cast<float>(static_cast<long double>(Window(n)) * lowPass);
}

TKernelTable::TKernelTable() : FRows(new TRow[KernelCount]) {
  const TExtendedPrecision precision;
  const TSseDefaults sse;
  std::array<double, CentreTap> window{};
  for (int j = 0; j < CentreTap; ++j)
    window[j] = Window(j - CentreTap);
  // A batch of kernels at a time, tap by tap, small enough to stay in the
  // first-level cache.
  constexpr int Batch = 256;
  std::array<float, Batch> cutoffs{};
  std::array<float, Batch> taps{};
  std::array<unsigned char, Batch> doubtful{};
  for (int first = 0; first < KernelCount; first += Batch) {
    const int count = std::min(Batch, KernelCount - first);
    for (int i = 0; i < count; ++i) {
      TRow& row = FRows[first + i];
      cutoffs[i] = Cutoff(first + i);
      row.Taps[CentreTap] = cutoffs[i];
      row.Taps[CentreTap + 1] = 0.0f;
    }
    for (int j = 0; j < CentreTap; ++j) {
      FastTaps(cutoffs.data(), count, CentreTap - j, window[j], taps.data(), doubtful.data());
      for (int i = 0; i < count; ++i)
        FRows[first + i].Taps[j] = doubtful[i] ? ExtendedTap(first + i, j) : taps[i];
    }
  }
}

std::array<float, TKernelTable::KernelLength> TKernelTable::Kernel(int k) const {
  std::array<float, KernelLength> taps{};
  for (int j = 0; j < KernelLength - 1; ++j)
    taps[j] = FRows[k].Taps[j <= CentreTap ? j : KernelLength - 1 - j];
  taps[KernelLength - 1] = 0.0f;
  return taps;
}

float TKernelTable::Kernel0Leak() const {
  float leak = 0.0f;
  for (int j = 0; j < CentreTap; ++j)
    leak = std::fmax(leak, std::fabs(FRows[0].Taps[j]));
  return leak;
}

std::shared_ptr<const TKernelTable> TKernelTable::Acquire() {
  static TMutex guard;
  static std::weak_ptr<const TKernelTable> shared;
  const std::lock_guard lock(guard);
  std::shared_ptr<const TKernelTable> table = shared.lock();
  if (!table) {
    table = std::make_shared<const TKernelTable>();
    shared = table;
  }
  return table;
}
