// The test host on a third-party VST3 plug-in, as a control: what the host
// does to our plug-in it can do to any, so its passes mean something.
#include "Vst3Host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

namespace {

using namespace vst3host;

TEST(TThirdPartyVst3Test, LoadsListsAndProcessesAudio) {
  const std::filesystem::path binary = GLOWRASP_THIRD_PARTY_VST3;
  ASSERT_TRUE(std::filesystem::exists(binary)) << binary;
  TModule module(binary.string());
  const v3_factory_info factory = module.FactoryInfo();
  EXPECT_STRNE(factory.vendor, "");

  const std::vector<TClassInfo> classes = module.Classes();
  ASSERT_FALSE(classes.empty());
  THostApplication host;
  TPluginInstance plugin(module, host);
  ASSERT_TRUE(plugin.Controller()) << "no edit controller";
  const std::vector<v3_param_info> parameters = plugin.Parameters();
  ASSERT_FALSE(parameters.empty());
  for (const v3_param_info& p : parameters)
    EXPECT_FALSE(FromUtf16(p.title, 128).empty()) << "parameter " << p.param_id;

  ASSERT_TRUE(plugin.Start(48000, 256));
  constexpr int frames = 256;
  std::vector<float> left(frames), right(frames), outL(frames, NAN), outR(frames, NAN);
  for (int i = 0; i < frames; ++i)
    left[i] = right[i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
  float* in[2] = {left.data(), right.data()};
  float* out[2] = {outL.data(), outR.data()};
  double energy = 0;
  for (int block = 0; block < 8; ++block) {
    ASSERT_EQ(plugin.Process(in, out, frames), V3_OK);
    for (int i = 0; i < frames; ++i) {
      ASSERT_TRUE(std::isfinite(outL[i]) && std::isfinite(outR[i])) << "frame " << i;
      energy += outL[i] * outL[i];
    }
  }
  EXPECT_GT(energy, 0.0) << "a sine through a limiter must come out";
}

} // namespace
