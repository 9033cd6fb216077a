// The shaper's 60000 low-pass kernels, built once per process and shared by
// every processor. Every kernel is symmetric (tap j equals tap 12 - j) and its
// last tap is zero, so a row keeps taps 0 to 6 and that zero: eight floats,
// one cache line per kernel.
#pragma once

#include <array>
#include <memory>

class TKernelTable {
public:
  static constexpr int KernelCount = 60000;
  static constexpr int KernelLength = 13;
  static constexpr int CentreTap = KernelLength / 2;

  struct alignas(32) TRow {
    std::array<float, 8> Taps;
  };

  // The process's table, built on first use; it goes with the last holder.
  // Safe from any thread; this is the only place that waits for another.
  static std::shared_ptr<const TKernelTable> Acquire();

  // Builds a table; Acquire shares one instead.
  TKernelTable();
  TKernelTable(const TKernelTable&) = delete;
  TKernelTable& operator=(const TKernelTable&) = delete;

  const TRow* Rows() const { return FRows.get(); }
  // Kernel k with all thirteen taps.
  std::array<float, KernelLength> Kernel(int k) const;

  // The largest off-centre tap of kernel 0, in magnitude: what a sample on
  // kernel 0 leaks into its neighbours.
  float Kernel0Leak() const;
  // A bound on it that the processing's quiet shortcut relies on.
  static constexpr double Kernel0LeakBound = 0x1p-60;

  // One tap evaluated the slow way, in extended precision throughout: the
  // definition that the fast build reproduces.
  static float ExtendedTap(int k, int Tap);

private:
  std::unique_ptr<TRow[]> FRows;
};
