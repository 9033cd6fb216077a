// What a host learns of the plug-in before it processes anything: the
// factory's descriptor, the ports, the parameters with their texts, the
// latency and the tail.
#include "ClapTestSupport.h"
#include "params/ParameterTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace glowrasp::clap_test {
namespace {

TEST(ClapFactory, OffersOnePluginWithAStableDescriptor) {
  const TClapLibrary& library = OurLibrary();
  EXPECT_TRUE(clap_version_is_compatible(library.Entry().clap_version));
  EXPECT_EQ(library.Entry().get_factory("clap.no-such-factory"), nullptr);
  EXPECT_EQ(library.Entry().get_factory(nullptr), nullptr);

  const auto descriptors = library.Descriptors();
  ASSERT_EQ(descriptors.size(), 1u);
  const clap_plugin_descriptor_t& d = *descriptors[0];
  EXPECT_STREQ(d.id, kPluginId);
  EXPECT_STREQ(d.name, "Kestrune Glowrasp");
  EXPECT_STREQ(d.vendor, "Kestrune");
  EXPECT_STREQ(d.version, "1.0.0");
  EXPECT_NE(std::strlen(d.url), 0u);
  std::vector<std::string> features;
  for (const char* const* f = d.features; *f; ++f)
    features.emplace_back(*f);
  EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "distortion", "stereo"}));

  const clap_plugin_factory_t* factory = library.Factory();
  EXPECT_EQ(factory->get_plugin_descriptor(factory, 1), nullptr);
  clap_host_t host{};
  host.clap_version = CLAP_VERSION;
  EXPECT_EQ(factory->create_plugin(factory, &host, "com.kestrune.other"), nullptr);
  EXPECT_EQ(factory->create_plugin(factory, nullptr, kPluginId), nullptr);
  EXPECT_EQ(factory->create_plugin(factory, &host, nullptr), nullptr);
}

TEST(ClapPorts, OneStereoInputAndOutputThatMayShareBuffers) {
  const auto host = NewPlugin(false);
  const auto* ports = host->Extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
  ASSERT_NE(ports, nullptr);
  for (const bool isInput : {true, false}) {
    SCOPED_TRACE(isInput ? "input" : "output");
    ASSERT_EQ(ports->count(host->Plugin(), isInput), 1u);
    clap_audio_port_info_t info{};
    ASSERT_TRUE(ports->get(host->Plugin(), 0, isInput, &info));
    EXPECT_EQ(info.id, 0u);
    EXPECT_EQ(info.channel_count, 2u);
    EXPECT_EQ(info.flags, static_cast<std::uint32_t>(CLAP_AUDIO_PORT_IS_MAIN));
    EXPECT_STREQ(info.port_type, CLAP_PORT_STEREO);
    EXPECT_EQ(info.in_place_pair, 0u);
    EXPECT_FALSE(ports->get(host->Plugin(), 1, isInput, &info));
    EXPECT_FALSE(ports->get(host->Plugin(), 0, isInput, nullptr));
  }
}

TEST(ClapDelays, LatencySixAndTailTwelveFrames) {
  const auto host = NewPlugin(false);
  const auto* latency = host->Extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
  const auto* tail = host->Extension<clap_plugin_tail_t>(CLAP_EXT_TAIL);
  ASSERT_NE(latency, nullptr);
  ASSERT_NE(tail, nullptr);
  EXPECT_EQ(latency->get(host->Plugin()), 6u);
  EXPECT_EQ(tail->get(host->Plugin()), 12u);
}

TEST(ClapExtensions, UnknownOnesAreRefused) {
  const auto host = NewPlugin(false);
  EXPECT_EQ(host->Plugin()->get_extension(host->Plugin(), "clap.note-ports"), nullptr);
  EXPECT_EQ(host->Plugin()->get_extension(host->Plugin(), nullptr), nullptr);
}

struct TParamCase {
  clap_id Id;
  const char* Name;
  double Min, Max, Default;
  std::uint32_t Flags;
};

// Every description is built from the one parameter table.
TEST(ClapParams, FollowTheParameterTable) {
  const auto host = NewPlugin(false);
  const auto* params = host->Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  ASSERT_NE(params, nullptr);
  ASSERT_EQ(params->count(host->Plugin()), kParameterTable.size());
  for (std::uint32_t i = 0; i < kParameterTable.size(); ++i) {
    const TParameterDescription& d = kParameterTable[i];
    SCOPED_TRACE(d.Name);
    clap_param_info_t info{};
    ASSERT_TRUE(params->get_info(host->Plugin(), i, &info));
    EXPECT_EQ(info.id, static_cast<clap_id>(d.Id));
    EXPECT_EQ(info.name, d.Name);
    EXPECT_EQ(info.min_value, d.Min);
    EXPECT_EQ(info.max_value, d.Max);
    EXPECT_EQ(info.default_value, d.Default);
  }
}

TEST(ClapParams, TheThreeControlsAndTheHostsBypass) {
  const TParamCase expected[] = {
      {kGainId, "Gain", -48, 48, 0, CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_MODULATABLE},
      {kIntensityId, "Intensity", 0, 100, 100,
       CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_MODULATABLE},
      {kOutGainId, "Out Gain", -48, 48, 0, CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_MODULATABLE},
      {kBypassId, "Bypass", 0, 1, 0,
       CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED},
  };
  const auto host = NewPlugin(false);
  const auto* params = host->Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  ASSERT_NE(params, nullptr);
  ASSERT_EQ(params->count(host->Plugin()), 4u);
  for (std::uint32_t i = 0; i < 4; ++i) {
    const TParamCase& e = expected[i];
    SCOPED_TRACE(e.Name);
    clap_param_info_t info{};
    ASSERT_TRUE(params->get_info(host->Plugin(), i, &info));
    EXPECT_EQ(info.id, e.Id);
    EXPECT_STREQ(info.name, e.Name);
    EXPECT_STREQ(info.module, "");
    EXPECT_EQ(info.min_value, e.Min);
    EXPECT_EQ(info.max_value, e.Max);
    EXPECT_EQ(info.default_value, e.Default);
    EXPECT_EQ(info.flags, e.Flags);
    EXPECT_EQ(host->Value(e.Id), e.Default) << "a fresh instance starts at the default";
  }
  clap_param_info_t info{};
  EXPECT_FALSE(params->get_info(host->Plugin(), 4, &info));
  EXPECT_FALSE(host->Value(4));
  EXPECT_FALSE(host->Value(CLAP_INVALID_ID));
}

struct TTextCase {
  clap_id Id;
  double Value;
  const char* Text;
};

TEST(ClapParams, ValuesShowWithTheirUnit) {
  const TTextCase cases[] = {
      {kGainId, 12.0, "12.0 dB"},
      {kGainId, -48.0, "-48.0 dB"},
      {kGainId, 0.04, "0.0 dB"},
      {kIntensityId, 33.3, "33.3 %"},
      {kOutGainId, 47.96, "48.0 dB"},
      {kBypassId, 0.0, "Off"},
      {kBypassId, 1.0, "On"},
      // Stepped: the whole part counts, for texts as for the events that set it.
      {kBypassId, 0.6, "Off"},
      {kBypassId, 1.4, "On"},
  };
  const auto host = NewPlugin(false);
  for (const TTextCase& c : cases)
    EXPECT_EQ(host->ValueText(c.Id, c.Value), c.Text) << c.Id << " at " << c.Value;
  EXPECT_FALSE(host->ValueText(kGainId, NAN));
  EXPECT_FALSE(host->ValueText(99, 0.0));

  // A buffer too small for the text gets as much as fits, ended.
  const auto* params = host->Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  char small[4] = {'x', 'x', 'x', 'x'};
  ASSERT_TRUE(params->value_to_text(host->Plugin(), kGainId, -12.0, small, sizeof small));
  EXPECT_STREQ(small, "-12");
  EXPECT_FALSE(params->value_to_text(host->Plugin(), kGainId, -12.0, small, 0));
  EXPECT_FALSE(params->value_to_text(host->Plugin(), kGainId, -12.0, nullptr, 8));
}

TEST(ClapParams, TypedTextBecomesAPlainValue) {
  const TTextCase cases[] = {
      {kGainId, -6.5, "-6.5"},      {kGainId, -6.5, "-6,5 dB"},   {kGainId, 48.0, "100"},
      {kIntensityId, 75.0, "75 %"}, {kOutGainId, 12.0, " 12dB "}, {kBypassId, 1.0, "On"},
      {kBypassId, 0.0, "off"},
  };
  const auto host = NewPlugin(false);
  for (const TTextCase& c : cases) {
    const auto value = host->TextValue(c.Id, c.Text);
    ASSERT_TRUE(value) << c.Text;
    // The text lands on the step nearest to it.
    EXPECT_NEAR(*value, c.Value, 1e-5) << c.Text;
  }
  for (const char* refused : {"", "loud", "12 %", "1e400x"})
    EXPECT_FALSE(host->TextValue(kGainId, refused)) << refused;
  EXPECT_FALSE(host->TextValue(99, "1"));
  const auto* params = host->Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  double value = 0;
  EXPECT_FALSE(params->text_to_value(host->Plugin(), kGainId, nullptr, &value));
  EXPECT_FALSE(params->text_to_value(host->Plugin(), kGainId, "1", nullptr));
}

} // namespace
} // namespace glowrasp::clap_test
