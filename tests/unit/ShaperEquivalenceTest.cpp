// The block processor against the straightforward one it replaces, bit for
// bit, on every instruction set the machine offers.
#include "shaper/ShaperUnit.h"

#include "../reference/ReferenceShaper.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

// Creates processors on one instruction set for as long as it lives.
class TForcedPath {
public:
  explicit TForcedPath(const std::string& Name) { setenv("GLOWRASP_SIMD", Name.c_str(), 1); }
  ~TForcedPath() { unsetenv("GLOWRASP_SIMD"); }
  TForcedPath(const TForcedPath&) = delete;
  TForcedPath& operator=(const TForcedPath&) = delete;
};

std::vector<std::string> AvailablePaths() {
  std::vector<std::string> paths{"sse2"};
  if (std::string(TShaperUnit().PathName()) == "avx2")
    paths.push_back("avx2");
  return paths;
}

enum class EMaterial { Music, Driven, DrivenNoise, Subnormal, NonFinite, Silence, WideRange };
constexpr EMaterial Materials[] = {
    EMaterial::Music,     EMaterial::Driven,  EMaterial::DrivenNoise, EMaterial::Subnormal,
    EMaterial::NonFinite, EMaterial::Silence, EMaterial::WideRange};

class TMaterial {
public:
  explicit TMaterial(unsigned Seed) : FRandom(Seed) {}

  std::vector<float> Make(EMaterial Kind, std::size_t Frames) {
    std::vector<float> x(Frames);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::normal_distribution<float> normal(0.0f, 2.0f);
    const float phase = unit(FRandom) * 3.0f;
    for (std::size_t t = 0; t < Frames; ++t) {
      const float time = static_cast<float>(FOffset + t);
      switch (Kind) {
      case EMaterial::Music:
        x[t] = 0.4f * std::sin(0.013f * time + phase) + 0.2f * std::sin(0.071f * time) +
               0.01f * unit(FRandom);
        break;
      case EMaterial::Driven:
        x[t] = 2.5f * std::sin(0.0021f * time + phase) + 0.3f * unit(FRandom);
        break;
      case EMaterial::DrivenNoise:
        x[t] = normal(FRandom);
        break;
      case EMaterial::Subnormal:
        x[t] = std::bit_cast<float>(static_cast<std::uint32_t>(FRandom()) & 0x807FFFFFu);
        break;
      case EMaterial::NonFinite: {
        const float special[] = {NaN, Inf, -Inf, -NaN, 3e38f, -1e-45f};
        x[t] = FRandom() % 100 == 0 ? special[FRandom() % 6] : 0.8f * unit(FRandom);
        break;
      }
      case EMaterial::Silence:
        x[t] = FRandom() % 500 == 0 ? unit(FRandom) : (FRandom() % 2 ? 0.0f : -0.0f);
        break;
      case EMaterial::WideRange:
        // Magnitudes from subnormal to large, so that neighbours straddle the
        // quiet shortcut's bound in every way.
        x[t] = std::ldexp(unit(FRandom), static_cast<int>(FRandom() % 170) - 150);
        break;
      }
    }
    FOffset += Frames;
    return x;
  }

  std::mt19937& Random() { return FRandom; }

private:
  std::mt19937 FRandom;
  std::size_t FOffset = 0;
};

float RandomSetting(std::mt19937& Random, float Low, float High) {
  const float special[] = {0.0f, 1.0f, Low, High, NaN, Inf, -1.0f};
  if (Random() % 10 == 0)
    return special[Random() % 7];
  return std::uniform_real_distribution<float>(Low, High)(Random);
}

template <class TUnit>
void SetAll(TUnit& Unit, float Drive, float Intensity, float Output) {
  Unit.DriveGain = Drive;
  Unit.Intensity = Intensity;
  Unit.OutputGain = Output;
}

// Bit for bit, except that any NaN equals any other: where two NaNs meet in
// a sum, which one's sign and payload survives is the compiler's choice of
// operand order, in the reference as much as here.
// The same random settings, anywhere in their ranges and at their edges, for
// the processor and the reference.
void SetRandomSettings(std::mt19937& Random, TShaperUnit& Unit, TReferenceShaper& Reference) {
  const float drive = RandomSetting(Random, 0.00398107f, 251.18864f);
  const float intensity = RandomSetting(Random, 0.0f, 1.0f);
  const float output = RandomSetting(Random, 0.00398107f, 251.18864f);
  SetAll(Unit, drive, intensity, output);
  SetAll(Reference, drive, intensity, output);
}

bool SameBits(std::span<const float> A, std::span<const float> B) {
  if (A.size() != B.size())
    return false;
  for (std::size_t i = 0; i < A.size(); ++i)
    if (std::bit_cast<std::uint32_t>(A[i]) != std::bit_cast<std::uint32_t>(B[i]) &&
        !(std::isnan(A[i]) && std::isnan(B[i])))
      return false;
  return true;
}

// How the buffers of one call are laid out.
enum class ELayout { Separate, InPlace, Crosswise, SharedOutput };

struct TCall {
  bool Mono;
  bool Replacing;
  ELayout Layout;
  std::int32_t Frames;
};

struct TBuffers {
  std::vector<float> In1, In2, Out1, Out2;
};

// Runs one call on a processor over its own copy of the buffers.
template <class TUnit>
TBuffers RunCall(TUnit& Unit, const TCall& Call, TBuffers Buffers) {
  float* in1 = Buffers.In1.data();
  float* in2 = Buffers.In2.data();
  float* out1 = Buffers.Out1.data();
  float* out2 = Buffers.Out2.data();
  switch (Call.Layout) {
  case ELayout::Separate:
    break;
  case ELayout::InPlace:
    out1 = in1;
    out2 = in2;
    break;
  case ELayout::Crosswise:
    out1 = in2;
    out2 = in1;
    break;
  case ELayout::SharedOutput:
    out2 = out1;
    break;
  }
  if (Call.Mono)
    Unit.ProcessMono(in1, out1, out2, Call.Frames, Call.Replacing);
  else
    Unit.ProcessStereo(in1, in2, out1, out2, Call.Frames, Call.Replacing);
  return Buffers;
}

#if defined(__i386__) || defined(__x86_64__)
// Hosts' audio threads often flush subnormals to zero and read them as zero.
class THostMxcsr {
public:
  // Mode bit 0 flushes subnormal results, bit 1 reads subnormal inputs as
  // zero, bits 2 and 3 round other than to nearest.
  explicit THostMxcsr(unsigned Mode) : FSaved(_mm_getcsr()) {
    _mm_setcsr(FSaved | (Mode & 1 ? 0x8000u : 0u) | (Mode & 2 ? 0x40u : 0u) |
               ((Mode >> 2 & 3) << 13));
  }
  ~THostMxcsr() { _mm_setcsr(FSaved); }
  THostMxcsr(const THostMxcsr&) = delete;
  THostMxcsr& operator=(const THostMxcsr&) = delete;

private:
  const unsigned FSaved;
};
#else
struct THostMxcsr {
  explicit THostMxcsr(unsigned) {}
};
#endif

TEST(ShaperEquivalence, RandomBlocksSettingsAndLayoutsMatchTheReference) {
  for (const std::string& path : AvailablePaths()) {
    const TForcedPath forced(path);
    for (unsigned seed = 1; seed <= 8; ++seed) {
      TShaperUnit unit;
      ASSERT_EQ(unit.PathName(), path);
      TReferenceShaper reference;
      TMaterial material(seed);
      std::mt19937& random = material.Random();
      for (int block = 0; block < 200; ++block) {
        if (random() % 3 == 0) {
          SetRandomSettings(random, unit, reference);
        }
        if (random() % 40 == 0) {
          unit.Clear();
          reference.Clear();
        }
        TCall call{random() % 4 == 0, random() % 2 == 0, static_cast<ELayout>(random() % 4),
                   static_cast<std::int32_t>(random() % 4097)};
        if (random() % 50 == 0)
          call.Frames = -static_cast<std::int32_t>(random() % 5);
        const std::size_t frames = call.Frames > 0 ? static_cast<std::size_t>(call.Frames) : 1;
        const EMaterial kind = Materials[random() % std::size(Materials)];
        TBuffers buffers{material.Make(kind, frames), material.Make(kind, frames),
                         material.Make(EMaterial::Music, frames),
                         material.Make(EMaterial::Music, frames)};
        const unsigned flush = random() % 4 == 0 ? 1 + random() % 15 : 0;
        TBuffers expected;
        TBuffers actual;
        TShaperUnit::TRing ring1;
        TShaperUnit::TRing ring2;
        {
          // The rings are sums too: they are read under the same settings.
          const THostMxcsr mxcsr(flush);
          expected = RunCall(reference, call, buffers);
          actual = RunCall(unit, call, buffers);
          ring1 = unit.Ring1();
          ring2 = unit.Ring2();
        }
        const std::string where =
            path + " seed " + std::to_string(seed) + " block " + std::to_string(block) +
            " material " + std::to_string(static_cast<int>(kind)) + " frames " +
            std::to_string(call.Frames) + (call.Mono ? " mono" : " stereo") +
            (call.Replacing ? " replacing" : " accumulating") + " layout " +
            std::to_string(static_cast<int>(call.Layout)) + " mxcsr mode " + std::to_string(flush);
        ASSERT_TRUE(SameBits(actual.Out1, expected.Out1)) << where;
        ASSERT_TRUE(SameBits(actual.Out2, expected.Out2)) << where;
        ASSERT_TRUE(SameBits(actual.In1, expected.In1)) << where;
        ASSERT_TRUE(SameBits(actual.In2, expected.In2)) << where;
        ASSERT_EQ(unit.RingPos(), reference.RingPos()) << where;
        ASSERT_TRUE(SameBits(ring1, reference.Ring1())) << where;
        ASSERT_TRUE(SameBits(ring2, reference.Ring2())) << where;
      }
    }
  }
}

// Hosts that cut their blocks at automation call with a few frames at a
// time, which take the samples one by one: the same bits as the reference,
// in every layout and mode, and across the switch between the two ways.
TEST(ShaperEquivalence, ShortCallsMatchTheReference) {
  for (const std::string& path : AvailablePaths()) {
    const TForcedPath forced(path);
    for (unsigned seed = 11; seed <= 14; ++seed) {
      TShaperUnit unit;
      TReferenceShaper reference;
      TMaterial material(seed);
      std::mt19937& random = material.Random();
      for (int block = 0; block < 400; ++block) {
        if (random() % 8 == 0) {
          SetRandomSettings(random, unit, reference);
        }
        const std::int32_t frames =
            static_cast<std::int32_t>(random() % 10 == 0 ? 32 + random() % 100 : 1 + random() % 40);
        TCall call{random() % 4 == 0, random() % 2 == 0, static_cast<ELayout>(random() % 4),
                   frames};
        const EMaterial kind = Materials[random() % std::size(Materials)];
        const auto size = static_cast<std::size_t>(frames);
        TBuffers buffers{material.Make(kind, size), material.Make(kind, size),
                         material.Make(EMaterial::Music, size),
                         material.Make(EMaterial::Music, size)};
        const unsigned mode = random() % 4 == 0 ? 1 + random() % 15 : 0;
        const THostMxcsr mxcsr(mode);
        const TBuffers expected = RunCall(reference, call, buffers);
        const TBuffers actual = RunCall(unit, call, buffers);
        const std::string where = path + " seed " + std::to_string(seed) + " block " +
                                  std::to_string(block) + " frames " + std::to_string(frames) +
                                  " mode " + std::to_string(mode);
        ASSERT_TRUE(SameBits(actual.Out1, expected.Out1)) << where;
        ASSERT_TRUE(SameBits(actual.Out2, expected.Out2)) << where;
        ASSERT_TRUE(SameBits(unit.Ring1(), reference.Ring1())) << where;
        ASSERT_TRUE(SameBits(unit.Ring2(), reference.Ring2())) << where;
      }
    }
  }
}

// The quiet shortcut relies on a bound for what kernel 0's off-centre taps
// can add; at the edge of the bound the full evaluation still gives the
// centre sample back unchanged, for normal and for subnormal centres.
TEST(ShaperEquivalence, QuietShortcutBoundHoldsAtItsEdge) {
  const auto table = TKernelTable::Acquire();
  EXPECT_LE(table->Kernel0Leak(), TKernelTable::Kernel0LeakBound);
  EXPECT_GT(table->Kernel0Leak(), 0.0f);

  const double ratio = 1.0 / (TKernelTable::Kernel0LeakBound * 14.0 * 0x1p27);
  std::mt19937 random(7);
  for (const std::string& path : AvailablePaths()) {
    const TForcedPath forced(path);
    for (const float centre : {1.0f, 0.7f, -0x1p-126f, 3e-20f, 1e30f, 0x1p-149f, -5e-40f}) {
      const bool subnormal = std::fabs(centre) < 0x1p-126f;
      const float largest = static_cast<float>(std::min(
                                subnormal ? 0x1p-124 * ratio : std::fabs(centre) * ratio, 3e38)) *
                            0.999f;
      std::vector<float> in(64);
      for (float& x : in)
        x = random() % 2 ? largest : -largest * std::uniform_real_distribution<float>(0, 1)(random);
      in[20] = centre;
      TShaperUnit unit;
      TReferenceShaper reference;
      SetAll(unit, 0.0f, 1.0f, 1.0f);
      SetAll(reference, 0.0f, 1.0f, 1.0f);
      std::vector<float> expected(64);
      std::vector<float> actual(64);
      reference.ProcessMono(in.data(), expected.data(), expected.data(), 64, true);
      unit.ProcessMono(in.data(), actual.data(), actual.data(), 64, true);
      EXPECT_EQ(expected[26], centre) << path << " centre " << centre;
      EXPECT_TRUE(SameBits(actual, expected)) << path << " centre " << centre;
    }
  }
}

// Whether any sample of a chunk may overshoot is decided once, from the
// largest magnitude; samples whose driven magnitude lies within a few steps
// of 1 must still pick their kernels as the reference does, in every
// rounding mode, with and without flushing. An infinite intensity sends the
// least overshoot to the last kernel, so a miss shows.
TEST(ShaperEquivalence, OvershootEdgeMatchesTheReference) {
  for (const std::string& path : AvailablePaths()) {
    const TForcedPath forced(path);
    for (const float drive : {1.0f, 0.7f, 3.3f, -2.0f, 251.18864f}) {
      std::vector<float> in(96, 0.001f);
      float edge = 1.0f / std::fabs(drive);
      for (int step = 0; step < 4; ++step)
        edge = std::nextafter(edge, 0.0f);
      for (int i = 0; i < 9; ++i, edge = std::nextafter(edge, 2.0f)) {
        in[20 + 7 * i] = i % 2 ? edge : -edge;
        in[21 + 7 * i] = 0x1p-140f;
      }
      for (unsigned mode = 0; mode < 32; ++mode) {
        TShaperUnit unit;
        TReferenceShaper reference;
        const float intensity = mode % 2 ? Inf : 1.0f;
        SetAll(unit, drive, intensity, 1.0f);
        SetAll(reference, drive, intensity, 1.0f);
        std::vector<float> expected(in.size());
        std::vector<float> actual(in.size());
        const auto frames = static_cast<std::int32_t>(in.size());
        {
          const THostMxcsr mxcsr(mode / 2);
          reference.ProcessMono(in.data(), expected.data(), expected.data(), frames, true);
          unit.ProcessMono(in.data(), actual.data(), actual.data(), frames, true);
        }
        EXPECT_TRUE(SameBits(actual, expected)) << path << " drive " << drive << " intensity "
                                                << intensity << " mxcsr mode " << mode / 2;
      }
    }
  }
}

} // namespace

// Changes inside a call sound exactly as the call cut at each change, with
// the setting changed in between: what VST3 and CLAP hosts send is applied
// in one pass, and must not differ from what a VST 2 host gets by cutting.
TEST(ShaperEquivalence, ChangesInsideACallMatchTheCallCutAtEachChange) {
  for (const std::string& path : AvailablePaths()) {
    const TForcedPath forced(path);
    for (unsigned seed = 1; seed <= 6; ++seed) {
      TShaperUnit whole;
      TShaperUnit cut;
      TMaterial material(seed);
      std::mt19937& random = material.Random();
      for (int block = 0; block < 60; ++block) {
        const bool mono = random() % 3 == 0;
        const bool replacing = random() % 4 != 0;
        const std::int32_t frames = 1 + static_cast<std::int32_t>(random() % 1500);
        std::vector<TSettingChange> changes(random() % 40);
        for (TSettingChange& change : changes) {
          change.Frame = static_cast<std::int32_t>(random() % (frames + 3)) - 1;
          change.Setting = static_cast<TShaperSetting>(random() % 3);
          change.Value = change.Setting == ssIntensity
                             ? RandomSetting(random, 0.0f, 1.0f)
                             : RandomSetting(random, 0.00398107f, 251.18864f);
        }
        std::stable_sort(changes.begin(), changes.end(),
                         [](const auto& a, const auto& b) { return a.Frame < b.Frame; });
        const EMaterial kind = Materials[random() % std::size(Materials)];
        const std::vector<float> in1 = material.Make(kind, static_cast<std::size_t>(frames));
        const std::vector<float> in2 = material.Make(kind, static_cast<std::size_t>(frames));
        const std::vector<float> start = material.Make(EMaterial::Music, frames);
        std::vector<float> wholeOut1 = start, wholeOut2 = start, cutOut1 = start, cutOut2 = start;
        const unsigned mode = random() % 4 == 0 ? 1 + random() % 15 : 0;
        const THostMxcsr mxcsr(mode);
        const auto process = [&](TShaperUnit& unit, std::int32_t from, std::int32_t to,
                                 std::span<const TSettingChange> inside, std::vector<float>& out1,
                                 std::vector<float>& out2) {
          if (mono)
            unit.ProcessMono(in1.data() + from, out1.data() + from, out2.data() + from, to - from,
                             replacing, inside);
          else
            unit.ProcessStereo(in1.data() + from, in2.data() + from, out1.data() + from,
                               out2.data() + from, to - from, replacing, inside);
        };
        process(whole, 0, frames, changes, wholeOut1, wholeOut2);
        std::int32_t from = 0;
        for (const TSettingChange& change : changes) {
          const std::int32_t at = std::clamp(change.Frame, 0, frames);
          if (at > from)
            process(cut, from, at, {}, cutOut1, cutOut2);
          from = std::max(from, at);
          std::atomic<float>& setting = change.Setting == ssDriveGain   ? cut.DriveGain
                                        : change.Setting == ssIntensity ? cut.Intensity
                                                                        : cut.OutputGain;
          setting = change.Value;
        }
        if (frames > from)
          process(cut, from, frames, {}, cutOut1, cutOut2);
        const std::string where =
            path + " seed " + std::to_string(seed) + " block " + std::to_string(block) +
            " frames " + std::to_string(frames) + " mode " + std::to_string(mode) + " mono " +
            std::to_string(mono) + " kind " + std::to_string(static_cast<int>(kind));
        ASSERT_TRUE(SameBits(wholeOut1, cutOut1)) << where;
        ASSERT_TRUE(SameBits(wholeOut2, cutOut2)) << where;
        const auto bits = [](const std::atomic<float>& x) {
          return std::bit_cast<std::uint32_t>(x.load());
        };
        ASSERT_EQ(bits(whole.DriveGain), bits(cut.DriveGain)) << where;
        ASSERT_EQ(bits(whole.Intensity), bits(cut.Intensity)) << where;
        ASSERT_EQ(bits(whole.OutputGain), bits(cut.OutputGain)) << where;
      }
    }
  }
}
