// The test host is not made to measure for our plug-in: Debian's zam-plugins
// CLAP builds load, describe themselves and process audio through it too.
#include "ClapHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace glowrasp::clap_test {
namespace {

const std::string kZamDir = "/usr/lib/clap";

struct TThirdParty {
  const char* File;
  std::uint32_t Channels; // of the main ports
};

void PrintTo(const TThirdParty& p, std::ostream* os) {
  *os << p.File;
}

class TThirdPartyTest : public ::testing::TestWithParam<TThirdParty> {};

TEST_P(TThirdPartyTest, LoadsListsAndProcesses) {
  const std::string path = kZamDir + "/" + GetParam().File;
  if (!std::filesystem::exists(path))
    GTEST_SKIP() << path << " is not installed (Debian package zam-plugins)";
  TClapLibrary library(path);
  const auto descriptors = library.Descriptors();
  ASSERT_EQ(descriptors.size(), 1u);
  ASSERT_NE(descriptors[0], nullptr);
  EXPECT_NE(std::string(descriptors[0]->id), "");
  EXPECT_NE(std::string(descriptors[0]->name), "");

  TClapHost host(library, descriptors[0]->id);
  const auto* ports = host.Extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
  ASSERT_NE(ports, nullptr);
  ASSERT_GE(ports->count(host.Plugin(), true), 1u);
  ASSERT_GE(ports->count(host.Plugin(), false), 1u);
  clap_audio_port_info_t in{}, out{};
  ASSERT_TRUE(ports->get(host.Plugin(), 0, true, &in));
  ASSERT_TRUE(ports->get(host.Plugin(), 0, false, &out));
  EXPECT_EQ(in.channel_count, GetParam().Channels);
  EXPECT_EQ(out.channel_count, GetParam().Channels);

  const auto* params = host.Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  ASSERT_NE(params, nullptr);
  const std::uint32_t paramCount = params->count(host.Plugin());
  ASSERT_GT(paramCount, 0u);
  for (std::uint32_t i = 0; i < paramCount; ++i) {
    clap_param_info_t info{};
    ASSERT_TRUE(params->get_info(host.Plugin(), i, &info));
    const auto value = host.Value(info.id);
    ASSERT_TRUE(value) << info.name;
    EXPECT_GE(*value, info.min_value) << info.name;
    EXPECT_LE(*value, info.max_value) << info.name;
    EXPECT_TRUE(host.ValueText(info.id, *value)) << info.name;
  }

  // A tone through every channel: something finite comes out, and not silence.
  constexpr std::uint32_t frames = 512;
  std::vector<std::vector<float>> inputs(in.channel_count, std::vector<float>(frames));
  std::vector<std::vector<float>> outputs(out.channel_count, std::vector<float>(frames, NAN));
  for (auto& channel : inputs)
    for (std::uint32_t i = 0; i < frames; ++i)
      channel[i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
  std::vector<TPortBuffers> inPorts(ports->count(host.Plugin(), true));
  std::vector<TPortBuffers> outPorts(ports->count(host.Plugin(), false));
  for (auto& channel : inputs)
    inPorts[0].Channels.push_back(channel.data());
  for (auto& channel : outputs)
    outPorts[0].Channels.push_back(channel.data());
  // Side chains and other ports, silent.
  std::vector<std::vector<float>> spare;
  auto fill = [&](std::vector<TPortBuffers>& portList, bool isInput) {
    for (std::uint32_t p = 1; p < portList.size(); ++p) {
      clap_audio_port_info_t info{};
      ASSERT_TRUE(ports->get(host.Plugin(), p, isInput, &info));
      for (std::uint32_t c = 0; c < info.channel_count; ++c)
        portList[p].Channels.push_back(spare.emplace_back(frames).data());
    }
  };
  spare.reserve(64);
  fill(inPorts, true);
  fill(outPorts, false);

  ASSERT_TRUE(host.Activate(48000.0, 1, frames));
  ASSERT_TRUE(host.StartProcessing());
  for (int block = 0; block < 4; ++block)
    EXPECT_NE(host.Process(inPorts, outPorts, frames), CLAP_PROCESS_ERROR);
  double energy = 0;
  for (const auto& channel : outputs)
    for (float sample : channel) {
      ASSERT_TRUE(std::isfinite(sample));
      energy += sample * sample;
    }
  EXPECT_GT(energy, 0.0);
}

INSTANTIATE_TEST_SUITE_P(ZamPlugins, TThirdPartyTest,
                         ::testing::Values(TThirdParty{"ZamComp.clap", 1},
                                           TThirdParty{"ZamCompX2.clap", 2},
                                           TThirdParty{"ZaMaximX2.clap", 2}),
                         [](const auto& testInfo) {
                           std::string name = testInfo.param.File;
                           return name.substr(0, name.find('.'));
                         });

} // namespace
} // namespace glowrasp::clap_test
