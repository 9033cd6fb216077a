#include "shaper/ShaperUnit.h"

#include "../reference/ReferenceShaper.h"

#include "../common/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

namespace {

constexpr int Length = TShaperUnit::KernelLength;
constexpr int Last = TShaperUnit::KernelCount - 1;
constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

void SetAll(TShaperUnit& Unit, float Drive, float Intensity, float Output) {
  Unit.DriveGain = Drive;
  Unit.Intensity = Intensity;
  Unit.OutputGain = Output;
}

// Loud enough that the kernel choice ranges over the whole table.
std::vector<float> DrivenNoise(std::size_t Frames, unsigned Seed) {
  std::mt19937 random(Seed);
  std::uniform_real_distribution<float> sample(-3.0f, 3.0f);
  std::vector<float> noise(Frames);
  for (float& x : noise)
    x = sample(random);
  return noise;
}

struct TStereo {
  std::vector<float> Left, Right;
  bool operator==(const TStereo&) const = default;
};

TStereo RunStereo(TShaperUnit& Unit, const std::vector<float>& In1, const std::vector<float>& In2) {
  TStereo out{std::vector<float>(In1.size()), std::vector<float>(In1.size())};
  Unit.ProcessStereo(In1.data(), In2.data(), out.Left.data(), out.Right.data(),
                     static_cast<std::int32_t>(In1.size()), true);
  return out;
}

TStereo RunMono(TShaperUnit& Unit, const std::vector<float>& In) {
  TStereo out{std::vector<float>(In.size()), std::vector<float>(In.size())};
  Unit.ProcessMono(In.data(), out.Left.data(), out.Right.data(),
                   static_cast<std::int32_t>(In.size()), true);
  return out;
}

std::vector<float> Impulse(float Value, std::size_t Frames) {
  std::vector<float> impulse(Frames, 0.0f);
  impulse[0] = Value;
  return impulse;
}

std::vector<float> Copy(const TShaperUnit::TRing& Ring) {
  return {Ring.begin(), Ring.end()};
}

// --- kernel table ---------------------------------------------------------

TEST(KernelTable, MatchesReferenceFingerprint) {
  const auto table = TKernelTable::Acquire();
  static_assert(std::endian::native == std::endian::little);
  std::vector<float> taps;
  for (int k = 0; k < TShaperUnit::KernelCount; ++k) {
    const auto h = table->Kernel(k);
    taps.insert(taps.end(), h.begin(), h.end());
  }
  EXPECT_EQ(test::Sha256Hex(std::as_bytes(std::span(taps))),
            "2687ba13c2589014202b2f4637d141782b12847ef1d3b6c0d6359a4b07ab76c7");
}

// The fast build against the definition evaluated in extended precision
// throughout, tap by tap.
TEST(KernelTable, FastBuildEqualsTheExtendedPrecisionDefinition) {
  const auto table = TKernelTable::Acquire();
  const auto reference = TReferenceShaper::Kernels();
  for (int k = 0; k < TShaperUnit::KernelCount; ++k) {
    const auto h = table->Kernel(k);
    for (int j = 0; j < Length; ++j)
      ASSERT_EQ(std::bit_cast<std::uint32_t>(h[j]), std::bit_cast<std::uint32_t>(reference[k][j]))
          << "kernel " << k << " tap " << j;
  }
  for (const int k : {0, 1, 15000, 27272, 30000, 45000, 59999})
    for (int j = 0; j < Length; ++j)
      EXPECT_EQ(TKernelTable::ExtendedTap(k, j), reference[k][j]) << "kernel " << k << " tap " << j;
}

TEST(KernelTable, RowsAreOneAlignedCacheLineEach) {
  const auto table = TKernelTable::Acquire();
  EXPECT_EQ(sizeof(TKernelTable::TRow), 32u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(table->Rows()) % 32, 0u);
  for (int k = 0; k < TShaperUnit::KernelCount; ++k)
    ASSERT_EQ(std::bit_cast<std::uint32_t>(table->Rows()[k].Taps[7]), 0u) << k;
}

TEST(KernelTable, OneTableServesEveryProcessorAndGoesWithTheLast) {
  std::weak_ptr<const TKernelTable> watched;
  {
    TShaperUnit first;
    const auto held = TKernelTable::Acquire();
    watched = held;
    TShaperUnit second;
    EXPECT_EQ(&first.Table(), held.get());
    EXPECT_EQ(&second.Table(), held.get());
  }
  EXPECT_TRUE(watched.expired());
}

TEST(KernelTable, EveryKernelHasItsCutoffAtTheCentreAndIsSymmetric) {
  const auto table = TKernelTable::Acquire();
  for (int k = 0; k < TShaperUnit::KernelCount; ++k) {
    const auto h = table->Kernel(k);
    ASSERT_EQ(h[6], static_cast<float>(1.0L - static_cast<long double>(k) / 60000.0L)) << k;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(h[12]), 0u) << k;
    for (int j = 1; j <= 5; ++j)
      ASSERT_EQ(h[j], h[12 - j]) << "kernel " << k << " slot " << j;
    ASSERT_LT(std::fabs(h[0]), 2.4e-9f) << k;
    ASSERT_NE(h[0], 0.0f) << k;
  }
}

// Half a unit in the sixth significant digit of the reference value.
double SixDigitTolerance(double Expected) {
  return 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(Expected))) - 5);
}

TEST(KernelTable, TellingRowsHoldToSixDigits) {
  const auto table = TKernelTable::Acquire();
  struct TRow {
    int K;
    std::array<double, Length> Slots;
    double Sum;
  };
  const TRow rows[] = {
      {0, {0, 0, 0, 0, 0, 0, 1.0, 0, 0, 0, 0, 0, 0}, 1.0},
      {30000,
       {0, 0.0164769, 0, -0.0750264, 0, 0.307464, 0.5, 0.307464, 0, -0.0750264, 0, 0.0164769, 0},
       0.997829},
      {59999,
       {-7.28523e-13, 4.31365e-6, 8.33333e-6, 1.17851e-5, 1.44338e-5, 1.60988e-5, 1.66667e-5,
        1.60988e-5, 1.44338e-5, 1.17851e-5, 8.33333e-6, 4.31365e-6, 0},
       1.26596e-4},
  };
  for (const TRow& row : rows) {
    const auto h = table->Kernel(row.K);
    for (int j = 0; j < Length; ++j) {
      if (row.Slots[j] == 0)
        EXPECT_LT(std::fabs(h[j]), 1e-16f) << "kernel " << row.K << " slot " << j;
      else
        EXPECT_NEAR(h[j], row.Slots[j], SixDigitTolerance(row.Slots[j]))
            << "kernel " << row.K << " slot " << j;
    }
    const double sum = std::accumulate(h.begin(), h.end(), 0.0);
    EXPECT_NEAR(sum, row.Sum, SixDigitTolerance(row.Sum)) << "kernel " << row.K;
  }
}

// --- kernel choice --------------------------------------------------------

TEST(KernelChoice, FollowsTheDrivenOvershoot) {
  struct TCase {
    float X, Drive, Intensity;
    int Kernel;
  };
  const TCase cases[] = {
      {0.0f, 1.0f, 1.0f, 0},        // silence: no division
      {1.0f, 1.0f, 1.0f, 0},        // exactly full scale
      {1.01f, 1.0f, 1.0f, 2970},    // just over full scale
      {1.1f, 1.0f, 1.0f, 27272},    // index about 5 (1 - 1/a) 59999
      {-1.1f, 1.0f, 1.0f, 27272},   // magnitude, not sign
      {1.2f, 1.0f, 1.0f, 49999},    // a fifth over full scale
      {1.25f, 1.0f, 1.0f, 59999},   // last kernel without clamping
      {2.0f, 1.0f, 1.0f, 59999},    // clamped
      {0.55f, 2.0f, 1.0f, 27272},   // drive steers the choice
      {-0.55f, -2.0f, 1.0f, 27272}, // negative drive
      {1.1f, 0.5f, 1.0f, 0},        // driven back under full scale
      {2.0f, 1.0f, 0.0f, 0},        // no intensity
      {1.1f, 1.0f, 0.5f, 13636},    // half the intensity, half the index
  };
  TShaperUnit unit;
  for (const TCase& c : cases) {
    unit.DriveGain = c.Drive;
    unit.Intensity = c.Intensity;
    EXPECT_EQ(unit.ChooseKernel(c.X), c.Kernel)
        << "x " << c.X << " drive " << c.Drive << " intensity " << c.Intensity;
  }
}

TEST(KernelChoice, StaysInTheTableForNonFiniteSamplesAndSettings) {
  const float samples[] = {NaN, -NaN, Inf, -Inf, 3e38f, -3e38f, 1e-45f, 0.0f, -0.0f, 1.5f};
  const float drives[] = {NaN, Inf, -Inf, 251.18864f, 1.0f, 0.0f, -1.0f, 1e-30f};
  const float intensities[] = {NaN, Inf, -Inf, -1.0f, 0.0f, 1.0f, 1e30f};
  TShaperUnit unit;
  for (const float drive : drives)
    for (const float intensity : intensities)
      for (const float x : samples) {
        unit.DriveGain = drive;
        unit.Intensity = intensity;
        const int k = unit.ChooseKernel(x);
        EXPECT_TRUE(k >= 0 && k <= Last)
            << k << " for x " << x << " drive " << drive << " intensity " << intensity;
      }

  struct TCase {
    float X, Drive, Intensity;
    int Kernel;
  };
  const TCase cases[] = {
      {NaN, 1.0f, 1.0f, 0},        // NaN fails both comparisons
      {Inf, 1.0f, 1.0f, Last},     // infinite excess over an infinite magnitude
      {3e38f, 251.0f, 1.0f, Last}, // the driven product overflows
      {Inf, 1.0f, 0.0f, 0},        // no intensity, no smoothing
      {2.0f, 1.0f, -1.0f, 0},      // negative intensity
      {2.0f, 1.0f, NaN, 0},        // undefined intensity
      {2.0f, 1.0f, Inf, Last},     // infinite intensity
      {1.0f, NaN, 1.0f, 0},        // undefined drive
      {0.0f, Inf, 1.0f, 0},        // zero times infinite drive
  };
  for (const TCase& c : cases) {
    unit.DriveGain = c.Drive;
    unit.Intensity = c.Intensity;
    EXPECT_EQ(unit.ChooseKernel(c.X), c.Kernel)
        << "x " << c.X << " drive " << c.Drive << " intensity " << c.Intensity;
  }
}

// --- processing -----------------------------------------------------------

TEST(ShaperUnit, StartsClearedWithSettingsAtZero) {
  TShaperUnit fresh;
  EXPECT_EQ(fresh.RingPos(), 0);
  EXPECT_EQ(fresh.DriveGain.load(), 0.0f);
  EXPECT_EQ(fresh.Intensity.load(), 0.0f);
  EXPECT_EQ(fresh.OutputGain.load(), 0.0f);
  EXPECT_EQ(Copy(fresh.Ring1()), std::vector<float>(Length, 0.0f));
  EXPECT_EQ(Copy(fresh.Ring2()), std::vector<float>(Length, 0.0f));
}

TEST(ShaperUnit, ImpulseComesOutAfterSixFramesThroughEitherRoute) {
  TShaperUnit unit;
  SetAll(unit, 1.0f, 1.0f, 1.0f);
  const auto in = Impulse(0.5f, 30);
  const TStereo stereo = RunStereo(unit, in, in);
  const TStereo mono = RunMono(unit, in);
  for (const auto* channel : {&stereo.Left, &stereo.Right, &mono.Left, &mono.Right}) {
    const std::vector<float>& out = *channel;
    for (std::size_t t = 0; t < out.size(); ++t) {
      if (t == 6)
        EXPECT_EQ(out[t], 0.5f);
      else if (t < 12)
        EXPECT_LT(std::fabs(out[t]), 1e-16f) << t;
      else
        EXPECT_EQ(out[t], 0.0f) << t;
    }
  }
}

TEST(ShaperUnit, WithoutIntensityItIsAScaledDelayWhateverTheDrive) {
  const auto left = DrivenNoise(200, 1);
  const auto right = DrivenNoise(200, 2);
  TShaperUnit unit;
  std::vector<TStereo> outputs;
  for (const float drive : {0.00398107f, 1.0f, 251.18864f}) {
    unit.Clear();
    SetAll(unit, drive, 0.0f, 0.5f);
    outputs.push_back(RunStereo(unit, left, right));
  }
  EXPECT_EQ(outputs[0], outputs[1]);
  EXPECT_EQ(outputs[0], outputs[2]);
  const double tolerance = 1e-15 * 3.0;
  for (std::size_t t = 0; t < left.size(); ++t) {
    const double expectedLeft = t < 6 ? 0.0 : 0.5 * left[t - 6];
    const double expectedRight = t < 6 ? 0.0 : 0.5 * right[t - 6];
    ASSERT_NEAR(outputs[0].Left[t], expectedLeft, tolerance) << t;
    ASSERT_NEAR(outputs[0].Right[t], expectedRight, tolerance) << t;
  }
}

TEST(ShaperUnit, SplittingABlockChangesNothing) {
  const auto left = DrivenNoise(100, 3);
  const auto right = DrivenNoise(100, 4);
  TShaperUnit whole;
  TShaperUnit split;
  for (TShaperUnit* unit : {&whole, &split})
    SetAll(*unit, 1.5f, 0.7f, 0.8f);

  TStereo wholeOut{std::vector<float>(100), std::vector<float>(100)};
  TStereo splitOut = wholeOut;
  whole.ProcessStereo(left.data(), right.data(), wholeOut.Left.data(), wholeOut.Right.data(), 100,
                      true);
  split.ProcessStereo(left.data(), right.data(), splitOut.Left.data(), splitOut.Right.data(), 37,
                      true);
  split.ProcessStereo(left.data() + 37, right.data() + 37, splitOut.Left.data() + 37,
                      splitOut.Right.data() + 37, 63, true);
  EXPECT_EQ(wholeOut, splitOut);

  whole.ProcessMono(left.data(), wholeOut.Left.data(), wholeOut.Right.data(), 100, true);
  split.ProcessMono(left.data(), splitOut.Left.data(), splitOut.Right.data(), 37, true);
  split.ProcessMono(left.data() + 37, splitOut.Left.data() + 37, splitOut.Right.data() + 37, 63,
                    true);
  EXPECT_EQ(wholeOut, splitOut);
  EXPECT_EQ(Copy(whole.Ring1()), Copy(split.Ring1()));
  EXPECT_EQ(whole.RingPos(), split.RingPos());
}

TEST(ShaperUnit, ProcessingInPlaceEqualsSeparateBuffers) {
  const auto left = DrivenNoise(64, 5);
  const auto right = DrivenNoise(64, 6);
  TShaperUnit unit;
  SetAll(unit, 1.3f, 0.9f, 1.1f);
  const TStereo expected = RunStereo(unit, left, right);
  unit.Clear();
  const TStereo expectedMono = RunMono(unit, left);

  for (const bool swapped : {false, true}) {
    // Swapped: each channel's output is the other channel's input, so a
    // frame that wrote Out1 before reading In2 would be caught.
    unit.Clear();
    std::vector<float> a = left;
    std::vector<float> b = right;
    unit.ProcessStereo(a.data(), b.data(), swapped ? b.data() : a.data(),
                       swapped ? a.data() : b.data(), 64, true);
    EXPECT_EQ(swapped ? b : a, expected.Left) << swapped;
    EXPECT_EQ(swapped ? a : b, expected.Right) << swapped;
  }

  unit.Clear();
  std::vector<float> buffer = left;
  std::vector<float> other(64);
  unit.ProcessMono(buffer.data(), buffer.data(), other.data(), 64, true);
  EXPECT_EQ(buffer, expectedMono.Left);
  EXPECT_EQ(other, expectedMono.Left);
}

TEST(ShaperUnit, MonoRouteMatchesStereoOfTheSameSignalAndSilencesChannelTwo) {
  const auto in = DrivenNoise(80, 7);
  TShaperUnit stereoUnit;
  TShaperUnit monoUnit;
  for (TShaperUnit* unit : {&stereoUnit, &monoUnit})
    SetAll(*unit, 1.2f, 1.0f, 0.9f);
  const TStereo stereo = RunStereo(stereoUnit, in, in);
  const TStereo mono = RunMono(monoUnit, in);
  EXPECT_EQ(mono.Left, stereo.Left);
  EXPECT_EQ(mono.Right, stereo.Right);

  // Mono processing empties channel two's ring without refilling it, so a
  // return to stereo starts that channel from silence.
  RunStereo(stereoUnit, in, DrivenNoise(80, 8));
  EXPECT_NE(Copy(stereoUnit.Ring2()), std::vector<float>(Length, 0.0f));
  RunMono(stereoUnit, std::vector<float>(13, 1.0f));
  EXPECT_EQ(Copy(stereoUnit.Ring2()), std::vector<float>(Length, 0.0f));
  const TStereo after = RunStereo(stereoUnit, in, std::vector<float>(80, 0.0f));
  EXPECT_EQ(after.Right, std::vector<float>(80, 0.0f));
}

TEST(ShaperUnit, AccumulatingAddsToEachOutputsOwnContent) {
  TShaperUnit unit;
  SetAll(unit, 1.0f, 1.0f, 1.0f);
  const auto in1 = Impulse(0.25f, 13);
  const auto in2 = Impulse(0.5f, 13);
  const auto expectFrameSix = [](const std::vector<float>& Out, float Before, float After) {
    for (std::size_t t = 0; t < Out.size(); ++t)
      EXPECT_EQ(Out[t], t == 6 ? After : Before) << t;
  };

  std::vector<float> out1(13, 1.0f);
  std::vector<float> out2(13, 5.0f);
  unit.ProcessStereo(in1.data(), in2.data(), out1.data(), out2.data(), 13, false);
  expectFrameSix(out1, 1.0f, 1.25f);
  expectFrameSix(out2, 5.0f, 5.5f);

  std::fill(out1.begin(), out1.end(), 1.0f);
  std::fill(out2.begin(), out2.end(), 5.0f);
  unit.ProcessMono(in1.data(), out1.data(), out2.data(), 13, false);
  expectFrameSix(out1, 1.0f, 1.25f);
  expectFrameSix(out2, 5.0f, 5.25f);

  // One buffer given as both outputs receives the result once.
  std::fill(out1.begin(), out1.end(), 1.0f);
  unit.ProcessMono(in1.data(), out1.data(), out1.data(), 13, false);
  expectFrameSix(out1, 1.0f, 1.25f);
}

TEST(ShaperUnit, AccumulatingRoundsProductPlusOldValueOnce) {
  // x * gain lies just above 2^-24 and rounds to exactly 2^-24 as a float; only
  // the unrounded product tips 1 + x * gain past the halfway point to 1 + 2^-23.
  const float x = 1.0f + 0x1p-23f;
  const float gain = (1.0f - 0x1p-24f) * 0x1p-24f;
  const float exact = 1.0f + 0x1p-23f;
  const float rounded = x * gain;
  ASSERT_EQ(1.0f + rounded, 1.0f);

  const auto in = Impulse(x, 13);
  TShaperUnit unit;
  SetAll(unit, 0.5f, 1.0f, gain);
  std::vector<float> out1(13, 1.0f);
  std::vector<float> out2(13, 1.0f);
  unit.ProcessStereo(in.data(), in.data(), out1.data(), out2.data(), 13, false);
  EXPECT_EQ(out1[6], exact);
  EXPECT_EQ(out2[6], exact);

  std::fill(out1.begin(), out1.end(), 1.0f);
  std::fill(out2.begin(), out2.end(), 1.0f);
  unit.ProcessMono(in.data(), out1.data(), out2.data(), 13, false);
  EXPECT_EQ(out1[6], exact);
  EXPECT_EQ(out2[6], exact);
}

TEST(ShaperUnit, NoFramesLeavesEverythingUntouched) {
  TShaperUnit unit;
  SetAll(unit, 2.0f, 1.0f, 1.0f);
  const auto in = DrivenNoise(20, 9);
  RunStereo(unit, in, in);
  const auto ring1 = Copy(unit.Ring1());
  const auto ring2 = Copy(unit.Ring2());
  const std::int32_t position = unit.RingPos();

  for (const std::int32_t frames : {0, -1, -100000}) {
    for (const bool replacing : {true, false}) {
      std::vector<float> out1(4, 7.0f);
      std::vector<float> out2(4, 9.0f);
      unit.ProcessStereo(in.data(), in.data(), out1.data(), out2.data(), frames, replacing);
      unit.ProcessMono(in.data(), out1.data(), out2.data(), frames, replacing);
      EXPECT_EQ(out1, std::vector<float>(4, 7.0f));
      EXPECT_EQ(out2, std::vector<float>(4, 9.0f));
    }
  }
  EXPECT_EQ(Copy(unit.Ring1()), ring1);
  EXPECT_EQ(Copy(unit.Ring2()), ring2);
  EXPECT_EQ(unit.RingPos(), position);
}

TEST(ShaperUnit, RingPositionAdvancesByTheFrameCountModulo13) {
  TShaperUnit unit;
  SetAll(unit, 1.0f, 1.0f, 1.0f);
  for (const bool mono : {false, true}) {
    for (const int frames : {1, 5, 12, 13, 14, 100}) {
      const std::int32_t before = unit.RingPos();
      const auto in = DrivenNoise(frames, 10);
      if (mono)
        RunMono(unit, in);
      else
        RunStereo(unit, in, in);
      EXPECT_EQ(unit.RingPos(), (before + frames) % 13) << frames << (mono ? " mono" : " stereo");
    }
  }
}

TEST(ShaperUnit, ClearedUnitIsSilent) {
  TShaperUnit unit;
  SetAll(unit, 3.0f, 1.0f, 2.0f);
  const auto loud = DrivenNoise(50, 11);
  RunStereo(unit, loud, loud);
  const std::int32_t position = unit.RingPos();

  unit.Clear();
  EXPECT_EQ(unit.RingPos(), position);
  EXPECT_EQ(unit.OutputGain.load(), 2.0f);
  const std::vector<float> silence(40, 0.0f);
  const TStereo out = RunStereo(unit, silence, silence);
  for (const auto& channel : {out.Left, out.Right})
    for (const float y : channel)
      ASSERT_EQ(std::bit_cast<std::uint32_t>(y), 0u);
}

TEST(ShaperUnit, NonFiniteInputNeitherFaultsNorLingers) {
  TShaperUnit unit;
  SetAll(unit, 1.0f, 1.0f, 1.0f);
  // A NaN travels through the ring for one turn and is gone after 13 frames.
  std::vector<float> in(30, 0.0f);
  in[0] = NaN;
  const TStereo out = RunStereo(unit, in, in);
  for (std::size_t t = 0; t < in.size(); ++t)
    EXPECT_EQ(std::isnan(out.Left[t]), t < 13) << t;

  // Extreme samples and settings only have to pass without faulting.
  const std::vector<float> wild = {Inf, -Inf, NaN, 3e38f, -3e38f, 1e-45f, 2.0f, -0.0f};
  for (const float setting : {NaN, Inf, -Inf, -1.0f, 0.0f, 1e30f}) {
    SetAll(unit, setting, setting, setting);
    RunStereo(unit, wild, wild);
    RunMono(unit, wild);
    std::vector<float> acc(wild.size(), 1.0f);
    unit.ProcessStereo(wild.data(), wild.data(), acc.data(), acc.data(), 8, false);
  }
  EXPECT_GE(unit.RingPos(), 0);
  EXPECT_LT(unit.RingPos(), 13);
}

} // namespace
