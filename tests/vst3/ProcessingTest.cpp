// The VST3 plug-in against the VST 2 build: the same material and the same
// automation give the same samples, bit for bit. The VST3 side gets its
// changes as points inside blocks; the VST 2 side gets the same values set
// between sub-blocks cut at the same frames.
#include "OurPlugin.h"
#include "hostlib/PluginHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vst3host;

constexpr float kSentinel = 12345.0f;
// The VST 2 build's soft bypass opcode.
constexpr VstInt32 kEffSetBypass = 44;

enum TLayout { lStereo, lMonoRoute, lInPlace, lMonoInPlace };

struct TChange {
  v3_param_id Id;
  std::int32_t Offset;
  double Value;
};

struct TBlockCase {
  const char* Name;
  TLayout Layout;
  std::vector<std::int32_t> Blocks; // repeated until the material ends; 0 is an empty block
  int ChangesPerBlock;              // at pseudo-random frames and values
  bool SwitchBypass;
};

void PrintTo(const TBlockCase& c, std::ostream* os) {
  *os << c.Name;
}

// The automation for one block: sorted by frame, as hosts send it.
std::vector<TChange> BlockChanges(const TBlockCase& c, std::int32_t frames, std::uint32_t& seed) {
  std::vector<TChange> changes;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (int i = 0; i < c.ChangesPerBlock; ++i) {
    const auto id = static_cast<v3_param_id>(next() % 3);
    // Doubles between the float steps, as a host's automation curve gives them.
    const double value = static_cast<double>(next()) / 16777216.0;
    const std::int32_t offset = frames > 0 ? static_cast<std::int32_t>(next() % frames) : 0;
    changes.push_back({id, offset, value});
  }
  if (c.SwitchBypass && next() % 3 == 0)
    changes.push_back({kBypassId, frames > 0 ? static_cast<std::int32_t>(next() % frames) : 0,
                       next() % 2 ? 1.0 : 0.0});
  std::stable_sort(changes.begin(), changes.end(),
                   [](const TChange& a, const TChange& b) { return a.Offset < b.Offset; });
  return changes;
}

class TVst3AndVstTest : public ::testing::Test {
protected:
  void SetUp() override {
    Effect.setSampleRate(44100.0f);
    Effect.setBlockSize(4096);
    Effect.resume();
    ASSERT_TRUE(Ours.Plugin.Start(44100.0, 4096));
  }

  // The VST 2 build with the changes applied at their frames.
  void VstBlock(float* const* in, float* const* out, std::int32_t frames,
                const std::vector<TChange>& changes) {
    std::int32_t done = 0;
    for (std::size_t i = 0; i <= changes.size(); ++i) {
      const std::int32_t until = i < changes.size() ? changes[i].Offset : frames;
      if (until > done) {
        float* subIn[2] = {in[0] + done, in[1] + done};
        float* subOut[2] = {out[0] + done, out[1] + done};
        Effect.processReplacing(subIn, subOut, until - done);
        done = until;
      }
      if (i == changes.size())
        break;
      if (changes[i].Id == kBypassId)
        Effect.dispatch(kEffSetBypass, 0, changes[i].Value >= 0.5 ? 1 : 0);
      else
        Effect.setParameter(static_cast<int>(changes[i].Id), static_cast<float>(changes[i].Value));
    }
  }

  TOurPlugin Ours;
  glowrasp::host::Plugin Effect{
      std::make_shared<const glowrasp::host::PluginLibrary>(GLOWRASP_PLUGIN_PATH)};
};

class TVst3ProcessingTest : public TVst3AndVstTest,
                            public ::testing::WithParamInterface<TBlockCase> {};

TEST_P(TVst3ProcessingTest, SameSamplesAsTheVstBuild) {
  const TBlockCase& c = GetParam();
  constexpr std::size_t frames = 8000;
  const bool mono = c.Layout == lMonoRoute || c.Layout == lMonoInPlace;
  const std::vector<float> left = LoudNoise(frames, 11);
  const std::vector<float> right = mono ? left : LoudNoise(frames, 12);
  std::vector<float> vstL(frames), vstR(frames), oursL(frames), oursR(frames);

  std::uint32_t seed = 5;
  std::size_t done = 0;
  for (std::size_t block = 0; done < frames; ++block) {
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(
        static_cast<std::size_t>(c.Blocks[block % c.Blocks.size()]), frames - done));
    const std::vector<TChange> changes = BlockChanges(c, n, seed);
    TParameterChanges queues;
    for (const TChange& change : changes)
      queues.Add(change.Id, change.Offset, change.Value);

    float* inL = const_cast<float*>(left.data() + done);
    float* inR = const_cast<float*>(right.data() + done);
    float* outL = oursL.data() + done;
    float* outR = oursR.data() + done;
    if (n == 0) {
      // The changes take effect; no sample is read or written.
      float probe[2] = {kSentinel, kSentinel};
      float* probeOut[2] = {&probe[0], &probe[1]};
      float* in[2] = {inL, inR};
      ASSERT_EQ(Ours.Plugin.Process(in, probeOut, 0, queues.Changes()), V3_OK);
      EXPECT_EQ(probe[0], kSentinel);
      EXPECT_EQ(probe[1], kSentinel);
      VstBlock(in, probeOut, 0, changes);
      continue;
    }
    float* vstIn[2] = {inL, mono ? inL : inR};
    float* vstOut[2] = {vstL.data() + done, vstR.data() + done};
    VstBlock(vstIn, vstOut, n, changes);

    float* in[2] = {inL, inR};
    float* out[2] = {outL, outR};
    switch (c.Layout) {
    case lStereo:
      break;
    case lMonoRoute:
      in[1] = inL;
      break;
    case lInPlace:
      std::copy(inL, inL + n, outL);
      std::copy(inR, inR + n, outR);
      in[0] = outL;
      in[1] = outR;
      break;
    case lMonoInPlace:
      std::copy(inL, inL + n, outL);
      in[0] = in[1] = outL;
      break;
    }
    ASSERT_EQ(Ours.Plugin.Process(in, out, n, queues.Changes()), V3_OK);
    done += static_cast<std::size_t>(n);
  }
  EXPECT_EQ(FirstDifference(oursL, vstL), -1) << "left";
  EXPECT_EQ(FirstDifference(oursR, vstR), -1) << "right";
  if (mono) {
    EXPECT_EQ(FirstDifference(oursL, oursR), -1) << "a mono signal gives the same on both outputs";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, TVst3ProcessingTest,
    ::testing::Values(TBlockCase{"stereo_without_automation", lStereo, {512, 4096}, 0, false},
                      TBlockCase{"stereo_automated", lStereo, {512, 1000}, 5, false},
                      TBlockCase{"stereo_odd_blocks", lStereo, {1, 37, 0, 255}, 2, false},
                      TBlockCase{"mono_route", lMonoRoute, {64, 0, 1000}, 3, false},
                      TBlockCase{"in_place", lInPlace, {128, 3}, 1, false},
                      TBlockCase{"mono_in_place", lMonoInPlace, {300}, 4, false},
                      TBlockCase{"bypass_switching", lStereo, {100, 333}, 2, true},
                      TBlockCase{"bypass_switching_in_place", lInPlace, {200}, 1, true}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

TEST_F(TVst3AndVstTest, PointsAtOneFrameEndWithTheLastAndPointsBeyondTheBlockComeAfterIt) {
  constexpr std::int32_t frames = 512;
  const std::vector<float> left = LoudNoise(2 * frames, 21);
  const std::vector<float> right = LoudNoise(2 * frames, 22);
  std::vector<float> vstL(2 * frames), vstR(2 * frames), oursL(2 * frames), oursR(2 * frames);
  TParameterChanges queues;
  queues.Add(kGainId, 100, 0.9);
  queues.Add(kGainId, 100, 0.7);
  queues.Add(kOutGainId, 100, 0.25);
  queues.Add(kIntensityId, frames + 50, 0.1);
  for (std::int32_t block = 0; block < 2; ++block) {
    float* in[2] = {const_cast<float*>(left.data()) + block * frames,
                    const_cast<float*>(right.data()) + block * frames};
    float* out[2] = {oursL.data() + block * frames, oursR.data() + block * frames};
    ASSERT_EQ(Ours.Plugin.Process(in, out, frames, queues.Changes()), V3_OK);
    queues.Clear();
    float* vstOut[2] = {vstL.data() + block * frames, vstR.data() + block * frames};
    VstBlock(in, vstOut, frames,
             block == 0 ? std::vector<TChange>{{kGainId, 100, 0.9},
                                               {kGainId, 100, 0.7},
                                               {kOutGainId, 100, 0.25},
                                               {kIntensityId, frames, 0.1}}
                        : std::vector<TChange>{});
  }
  EXPECT_EQ(FirstDifference(oursL, vstL), -1);
  EXPECT_EQ(FirstDifference(oursR, vstR), -1);
}

TEST(TVst3HostileProcessingTest, NothingAHostSendsBreaksIt) {
  TOurPlugin ours;
  ASSERT_TRUE(ours.Plugin.Start(48000.0, 256));
  std::vector<float> in(256, 0.5f), out(256, kSentinel);
  float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {out.data(), out.data()};
  // Values out of range or not numbers, points outside the block, unknown IDs.
  TParameterChanges hostile;
  hostile.Add(kGainId, -5, NAN);
  hostile.Add(kIntensityId, 1000000, INFINITY);
  hostile.Add(kOutGainId, 3, -7.0);
  hostile.Add(99, 4, 0.5);
  hostile.Add(0xFFFFFFFF, 5, 0.5);
  for (int block = 0; block < 8; ++block)
    ASSERT_EQ(ours.Plugin.Process(ins, outs, 256, hostile.Changes()), V3_OK);
  for (const float sample : out)
    ASSERT_TRUE(std::isfinite(sample));
  for (v3_param_id id : {kGainId, kIntensityId, kOutGainId}) {
    const double value = ours.Ctrl().get_parameter_normalised(ours.Controller(), id);
    EXPECT_TRUE(value >= 0.0 && value <= 1.0) << "parameter " << id << " at " << value;
  }
  // Samples that are not numbers pass through as they do in the VST 2 build.
  in[10] = NAN;
  in[20] = INFINITY;
  in[30] = -INFINITY;
  ASSERT_EQ(ours.Plugin.Process(ins, outs, 256), V3_OK);

  // No process data, no buffers, missing buses, 64-bit samples: refused,
  // never a crash. Frames with no stereo output to take them are refused,
  // not reported as processed; a block of no frames only carries changes.
  EXPECT_NE(ours.Proc().process(ours.Processor(), nullptr), V3_OK);
  v3_process_data data{};
  data.symbolic_sample_size = V3_SAMPLE_32;
  data.nframes = 256;
  EXPECT_NE(ours.Proc().process(ours.Processor(), &data), V3_OK);
  v3_audio_bus_buffers bus{};
  bus.num_channels = 2;
  data.num_input_buses = data.num_output_buses = 1;
  data.inputs = data.outputs = &bus;
  EXPECT_NE(ours.Proc().process(ours.Processor(), &data), V3_OK);
  float* holed[2] = {out.data(), nullptr};
  v3_audio_bus_buffers input{};
  input.num_channels = 2;
  input.channel_buffers_32 = ins;
  v3_audio_bus_buffers output{};
  output.num_channels = 2;
  output.channel_buffers_32 = holed;
  data.inputs = &input;
  data.outputs = &output;
  EXPECT_NE(ours.Proc().process(ours.Processor(), &data), V3_OK) << "a null second output";
  output.num_channels = 1;
  EXPECT_NE(ours.Proc().process(ours.Processor(), &data), V3_OK) << "a one-channel output";
  data.nframes = 0;
  EXPECT_EQ(ours.Proc().process(ours.Processor(), &data), V3_OK);
  data.symbolic_sample_size = V3_SAMPLE_64;
  EXPECT_NE(ours.Proc().process(ours.Processor(), &data), V3_OK);
}

// A rate no interface runs at, or no block size at all, is refused.
TEST(TVst3HostileProcessingTest, SetupRefusesRatesAndBlockSizesNoHostHas) {
  TOurPlugin ours;
  const struct {
    double Rate;
    int32_t MaxBlock;
    bool Accepted;
  } cases[] = {{48000.0, 512, true}, {INFINITY, 512, false}, {1e300, 512, false},
               {NAN, 512, false},    {0.0, 512, false},      {-48000.0, 512, false},
               {48000.0, 0, false},  {48000.0, -1, false},   {192000.0, 1, true}};
  for (const auto& c : cases) {
    v3_process_setup setup{};
    setup.process_mode = V3_REALTIME;
    setup.symbolic_sample_size = V3_SAMPLE_32;
    setup.sample_rate = c.Rate;
    setup.max_block_size = c.MaxBlock;
    EXPECT_EQ(ours.Proc().setup_processing(ours.Processor(), &setup) == V3_OK, c.Accepted)
        << c.Rate << " Hz, " << c.MaxBlock << " frames";
  }
}

} // namespace
