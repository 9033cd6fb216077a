// Every format's audio, bit for bit, against one reference:
//
// - The golden runs (tests/data/golden-*.f32, written by glowrasp-golden from
//   the VST 2 build) are the primary reference: every format renders them
//   and must equal them. A format without an accumulating call renders the
//   accumulating run replacing, and the test adds that onto the outputs'
//   prior content, as its hosts mix.
// - What no golden run covers (automation at frames inside blocks, empty
//   blocks, bypass changes, in-place and mono layouts) is held against the
//   VST 2 build fed the same material, with separate buffers, the block cut
//   at each change and the value set in between.
#include "SuiteSupport.h"
#include "common/TestSignals.h"
#include "golden/GoldenRuns.h"

#include <algorithm>
#include <array>
#include <map>

namespace glowrasp::golden {

void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << c.name;
}

} // namespace glowrasp::golden

namespace formats {
namespace {

constexpr float kSentinel = 12345.0f;
constexpr std::size_t kMaterialFrames = 6000;

std::string DataFile(const std::string& name) {
  return std::string(GLOWRASP_SOURCE_DIR) + "/tests/data/" + name;
}

// ---- The golden runs ---------------------------------------------------------

std::vector<float> RenderGolden(TFormatDriver& driver, const glowrasp::golden::GoldenCase& run) {
  using namespace glowrasp::golden;
  const std::vector<float> interleaved = goldenInput();
  std::array<std::vector<float>, kChannels> in;
  std::array<std::vector<float>, kChannels> out;
  for (int c = 0; c < kChannels; ++c)
    for (int i = 0; i < kFrames; ++i) {
      in[c].push_back(interleaved[i * kChannels + c]);
      out[c].push_back(run.route == Route::Accumulating ? goldenPriorOutput(i, c) : 0.0f);
    }

  driver.Start(kSampleRate, kMaxBlock);
  driver.Set(kGain, run.settings.gainDb);
  driver.Set(kIntensity, run.settings.intensityPercent);
  driver.Set(kOutGain, run.settings.outGainDb);
  const std::span<const int> cycle = goldenBlockCycle();
  for (int done = 0, step = 0; done < kFrames; ++step) {
    const int count = std::min(cycle[step % cycle.size()], kFrames - done);
    float* const inputs[2] = {in[0].data() + done,
                              in[run.route == Route::Mono ? 0 : 1].data() + done};
    float* const outputs[2] = {out[0].data() + done, out[1].data() + done};
    const auto frames = static_cast<std::uint32_t>(count);
    if (run.route == Route::Accumulating)
      driver.ProcessAccumulating(inputs, outputs, frames);
    else
      EXPECT_TRUE(driver.Process(inputs, outputs, frames, {}));
    done += count;
  }

  std::vector<float> result;
  for (int i = 0; i < kFrames; ++i)
    for (int c = 0; c < kChannels; ++c)
      result.push_back(out[c][i]);
  return result;
}

using TGoldenTest = TFormatCaseTest<glowrasp::golden::GoldenCase>;

TEST_P(TGoldenTest, EqualsTheStoredOutputBitForBit) {
  const auto& run = Case();
  const std::vector<float> expected =
      glowrasp::golden::readFloats(DataFile(glowrasp::golden::goldenFileName(run)));
  const auto driver = Make();
  if (run.route == glowrasp::golden::Route::Accumulating) {
    if (const TUnsupported why = driver->CannotAccumulate())
      GTEST_SKIP() << *why;
  }
  const std::vector<float> actual = RenderGolden(*driver, run);
  const std::ptrdiff_t first = FirstDifference(actual, expected);
  EXPECT_EQ(first, -1) << "frame " << first / 2 << ", channel " << first % 2;
}

INSTANTIATE_TEST_SUITE_P(Formats, TGoldenTest,
                         ::testing::Combine(::testing::ValuesIn(Formats()),
                                            ::testing::ValuesIn(glowrasp::golden::goldenCases())),
                         [](const auto& testInfo) {
                           return std::string(std::get<0>(testInfo.param).Name) + "_" +
                                  std::get<1>(testInfo.param).name;
                         });

// ---- Block layouts and automation against the VST 2 build -------------------

struct TBlockCase {
  const char* Name;
  TLayout Layout;
  std::vector<std::uint32_t> Blocks; // repeated until the material ends; 0 is an empty call
  std::vector<TChange> Fixed;        // at frames of the material, in frame order
  int RandomPerBlock;                // more changes, at pseudo-random frames and values
  bool RandomBypass;
  bool Foreign; // events the plug-in must pass over, where the format has events
};

void PrintTo(const TBlockCase& c, std::ostream* os) {
  *os << c.Name;
}

bool Mono(TLayout layout) {
  return layout == TLayout::MonoRoute || layout == TLayout::MonoInPlace ||
         layout == TLayout::OneChannelInput || layout == TLayout::NullSecondInput;
}

// Where the changes of one block come from; the same sequence for the
// format and for the reference.
class TChangeSource {
public:
  explicit TChangeSource(const TBlockCase& c) : FCase(c) {}

  // The changes of the block [done, done + frames), at frames of the block.
  std::vector<TChange> Block(std::size_t done, std::uint32_t frames) {
    std::vector<TChange> changes;
    const auto& fixed = FCase.Fixed;
    while (FNext < fixed.size() &&
           (fixed[FNext].Frame < done + frames || (frames == 0 && fixed[FNext].Frame == done))) {
      const TChange& change = fixed[FNext++];
      changes.push_back(
          {static_cast<std::uint32_t>(change.Frame - done), change.Param, change.Value});
    }
    for (int i = 0; i < FCase.RandomPerBlock; ++i) {
      const int param = static_cast<int>(Next() % 3);
      changes.push_back({Offset(frames), param, InUnits(param, RandomNormalised())});
    }
    if (FCase.RandomBypass && Next() % 3 == 0)
      changes.push_back({Offset(frames), kBypass, Next() % 2 ? 1.0 : 0.0});
    std::stable_sort(changes.begin(), changes.end(),
                     [](const TChange& a, const TChange& b) { return a.Frame < b.Frame; });
    return changes;
  }

private:
  std::uint32_t Next() {
    FSeed = FSeed * 1664525u + 1013904223u;
    return FSeed >> 8;
  }
  std::uint32_t Offset(std::uint32_t frames) { return frames > 0 ? Next() % frames : 0; }
  // A double between the float steps, as a host's automation curve gives
  // it, yet clear of the midpoints between the plug-in's own steps: there
  // the 32-bit host values of VST 2 and LV2 may round either way.
  double RandomNormalised() {
    const double step = Next() % 1000001;
    const double within = (static_cast<double>(Next() % 801) - 400.0) / 1000.0;
    return std::clamp((step + within) / 1e6, 0.0, 1.0);
  }

  const TBlockCase& FCase;
  std::size_t FNext = 0;
  std::uint32_t FSeed = 5;
};

struct TRendered {
  std::vector<float> Left;
  std::vector<float> Right;
  std::map<int, double> LastValues;
};

TRendered Render(TFormatDriver& driver, const TBlockCase& c, TLayout layout) {
  const bool mono = Mono(layout);
  const std::vector<float> left = LoudNoise(kMaterialFrames, 1);
  const std::vector<float> right = mono ? left : LoudNoise(kMaterialFrames, 2);
  TRendered out{std::vector<float>(kMaterialFrames), std::vector<float>(kMaterialFrames), {}};
  driver.Start(44100.0, 4096);
  TChangeSource source(c);
  for (std::size_t block = 0, done = 0; done < kMaterialFrames; ++block) {
    const auto n = static_cast<std::uint32_t>(
        std::min<std::size_t>(c.Blocks[block % c.Blocks.size()], kMaterialFrames - done));
    const std::vector<TChange> changes = source.Block(done, n);
    for (const TChange& change : changes)
      out.LastValues[change.Param] = change.Value;
    float* inL = const_cast<float*>(left.data() + done);
    float* inR = const_cast<float*>(right.data() + done);
    float* outL = out.Left.data() + done;
    float* outR = out.Right.data() + done;
    if (n == 0) {
      // The changes take effect; no sample is read or written.
      float probe[2] = {kSentinel, kSentinel};
      float* const probeOut[2] = {&probe[0], &probe[1]};
      float* const in[2] = {inL, inR};
      EXPECT_TRUE(driver.Process(in, probeOut, 0, changes));
      EXPECT_EQ(probe[0], kSentinel);
      EXPECT_EQ(probe[1], kSentinel);
      continue;
    }
    float* const outputs[2] = {outL, outR};
    std::vector<float*> inputs{inL, inR};
    switch (layout) {
    case TLayout::Stereo:
      break;
    case TLayout::MonoRoute:
      inputs = {inL, inL};
      break;
    case TLayout::InPlace:
      std::copy(inL, inL + n, outL);
      std::copy(inR, inR + n, outR);
      inputs = {outL, outR};
      break;
    case TLayout::MonoInPlace:
      std::copy(inL, inL + n, outL);
      inputs = {outL, outL};
      break;
    case TLayout::OneChannelInput:
      inputs = {inL};
      break;
    case TLayout::NullSecondInput:
      inputs = {inL, nullptr};
      break;
    }
    EXPECT_TRUE(driver.Process(inputs, outputs, n, changes));
    done += n;
  }
  return out;
}

using TBlockTest = TFormatCaseTest<TBlockCase>;

TEST_P(TBlockTest, SameSamplesAsTheVstBuild) {
  const TBlockCase& c = Case();
  const auto driver = Make();
  if (const TUnsupported why = driver->CannotUse(c.Layout))
    GTEST_SKIP() << *why;
  if (c.Foreign) {
    if (const TUnsupported why = driver->CannotSendForeignEvents())
      GTEST_SKIP() << *why;
    driver->SendForeignEvents(true);
  }
  const TRendered ours = Render(*driver, c, c.Layout);
  const auto reference = MakeVstDriver();
  const TRendered vst =
      Render(*reference, c, Mono(c.Layout) ? TLayout::MonoRoute : TLayout::Stereo);

  EXPECT_EQ(FirstDifference(ours.Left, vst.Left), -1) << "left";
  EXPECT_EQ(FirstDifference(ours.Right, vst.Right), -1) << "right";
  if (Mono(c.Layout)) {
    EXPECT_EQ(FirstDifference(ours.Left, ours.Right), -1)
        << "a mono signal gives the same on both outputs";
  }
  // The host reads back the last value of each parameter, on its step.
  for (const auto& [param, value] : ours.LastValues) {
    if (const std::optional<double> read = driver->Value(param)) {
      EXPECT_NEAR(*read, value, 1e-4) << "parameter " << param;
    }
  }
}

const std::vector<TChange> kSweep = {
    {0, kGain, 12.0},      {0, kIntensity, 50.0},    {1234, kGain, 30.5}, {1235, kOutGain, -6.0},
    {2047, kGain, -7.3},   {2048, kIntensity, 33.3}, {3000, kGain, 48.0}, {3000, kGain, 24.0},
    {4500, kOutGain, 5.5}, {5999, kIntensity, 0.0},
};

const std::vector<TChange> kBypassSwitching = {
    {0, kGain, 24.0},     {700, kBypass, 1.0},  {730, kBypass, 0.0},  {1500, kBypass, 1.0},
    {2600, kGain, -12.0}, {3100, kBypass, 0.0}, {4000, kBypass, 1.0}, {4001, kOutGain, 3.0},
    {4002, kBypass, 0.0}, {5000, kBypass, 1.0},
};

const TBlockCase kBlockCases[] = {
    // name, layout, blocks, changes at frames, random changes per block,
    // random bypass changes, foreign events
    {"stereo_without_automation", TLayout::Stereo, {512, 4096}, {}, 0, false, false},
    {"stereo_one_block_per_change_and_more", TLayout::Stereo, {512, 4096}, kSweep, 0, false, false},
    {"stereo_automated", TLayout::Stereo, {512, 1000}, {}, 5, false, false},
    {"stereo_odd_blocks_with_empty_calls",
     TLayout::Stereo,
     {1, 37, 0, 255},
     kSweep,
     2,
     false,
     false},
    {"mono_route", TLayout::MonoRoute, {64, 0, 1000}, kSweep, 3, false, false},
    {"in_place", TLayout::InPlace, {128, 3}, kSweep, 1, false, false},
    {"mono_in_place", TLayout::MonoInPlace, {300}, kSweep, 4, false, false},
    {"one_channel_input_port", TLayout::OneChannelInput, {256}, kSweep, 0, false, false},
    {"null_second_input_channel", TLayout::NullSecondInput, {256}, kSweep, 0, false, false},
    {"bypass_switching", TLayout::Stereo, {100, 333}, kBypassSwitching, 2, true, false},
    {"bypass_switching_in_place", TLayout::InPlace, {200}, {}, 1, true, false},
    {"events_it_must_pass_over", TLayout::Stereo, {480}, kSweep, 0, false, true},
};

INSTANTIATE_TEST_SUITE_P(Formats, TBlockTest,
                         ::testing::Combine(::testing::ValuesIn(Formats()),
                                            ::testing::ValuesIn(kBlockCases)),
                         FormatAndCaseName<TBlockCase>);

// ---- Cases of their own --------------------------------------------------------

using TFormatProcessingTest = TFormatTest;

// Several points at one frame end with the last; a point beyond the block
// takes effect where the block ends.
TEST_P(TFormatProcessingTest, AutomationInsideABlockTakesEffectAtItsFrame) {
  const auto driver = Make();
  if (const TUnsupported why = driver->CannotTakeChangesInsideABlock())
    GTEST_SKIP() << *why;
  constexpr std::uint32_t frames = 512;
  const std::vector<float> left = LoudNoise(2 * frames, 21);
  const std::vector<float> right = LoudNoise(2 * frames, 22);
  const std::vector<TChange> inside = {{100, kGain, 38.4},
                                       {100, kGain, 19.2},
                                       {100, kOutGain, -24.0},
                                       {frames + 50, kIntensity, 10.0}};
  const std::vector<TChange> cut = {
      {100, kGain, 38.4}, {100, kGain, 19.2}, {100, kOutGain, -24.0}, {frames, kIntensity, 10.0}};
  const auto reference = MakeVstDriver();
  std::array<std::vector<float>, 2> ours{std::vector<float>(2 * frames),
                                         std::vector<float>(2 * frames)};
  std::array<std::vector<float>, 2> vst = ours;
  driver->Start(44100.0, frames);
  reference->Start(44100.0, frames);
  for (std::uint32_t block = 0; block < 2; ++block) {
    float* const in[2] = {const_cast<float*>(left.data()) + block * frames,
                          const_cast<float*>(right.data()) + block * frames};
    float* const out[2] = {ours[0].data() + block * frames, ours[1].data() + block * frames};
    float* const vstOut[2] = {vst[0].data() + block * frames, vst[1].data() + block * frames};
    ASSERT_TRUE(driver->Process(in, out, frames, block == 0 ? inside : std::vector<TChange>{}));
    reference->Process(in, vstOut, frames, block == 0 ? cut : std::vector<TChange>{});
  }
  EXPECT_EQ(FirstDifference(ours[0], vst[0]), -1) << "left";
  EXPECT_EQ(FirstDifference(ours[1], vst[1]), -1) << "right";
}

// Once the bypass has faded in, the outputs carry the inputs exactly as late
// as the latency the format reports.
TEST_P(TFormatProcessingTest, BypassedOutputIsTheInputAsLateAsTheReportedLatency) {
  constexpr std::size_t frames = 4000;
  constexpr std::uint32_t block = 100;
  constexpr std::size_t bypassFrom = 1000;
  constexpr std::size_t bypassTo = 2500;
  constexpr std::size_t fade = 64;
  const std::vector<float> left = LoudNoise(frames, 3);
  const std::vector<float> right = LoudNoise(frames, 4);
  std::vector<float> outL(frames), outR(frames);
  const auto driver = Make();
  driver->Start(44100.0, 512);
  driver->Set(kGain, 12.0);
  driver->Set(kIntensity, 50.0);
  driver->Set(kOutGain, -6.0);
  const int latency = driver->Latency();
  EXPECT_EQ(latency, 6);
  for (std::size_t done = 0; done < frames; done += block) {
    const std::vector<TChange> changes = {
        {0, kBypass, done >= bypassFrom && done < bypassTo ? 1.0 : 0.0}};
    float* const in[2] = {const_cast<float*>(left.data() + done),
                          const_cast<float*>(right.data() + done)};
    float* const out[2] = {outL.data() + done, outR.data() + done};
    ASSERT_TRUE(driver->Process(in, out, block, changes));
  }
  for (std::size_t i = bypassFrom + fade; i < bypassTo; ++i) {
    ASSERT_EQ(outL[i], left[i - latency]) << "frame " << i;
    ASSERT_EQ(outR[i], right[i - latency]) << "frame " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, TFormatProcessingTest, ::testing::ValuesIn(Formats()),
                         FormatName);

} // namespace
} // namespace formats
