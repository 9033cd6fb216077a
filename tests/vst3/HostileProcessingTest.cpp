// What a host may send the VST3 processor that no other format can: values
// out of range or not numbers, points outside the block, unknown IDs, process
// data without buffers or buses, 64-bit samples, and setups no host has.
#include "OurPlugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using namespace vst3host;

constexpr float kSentinel = 12345.0f;

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
