// What the bundle tells a host before any audio: factory, class, module
// description, buses, parameters, latency and tail.
#include "OurPlugin.h"
#include "params/ParameterTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace vst3host;

std::string HexId(const v3_tuid id) {
  std::string text;
  for (int i = 0; i < 16; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", id[i]);
    text += hex;
  }
  return text;
}

TEST(TVst3DescriptionTest, FactoryNamesOneEffectClassInEveryForm) {
  const TModule module(GLOWRASP_VST3_BINARY);
  const v3_factory_info factory = module.FactoryInfo();
  EXPECT_STREQ(factory.vendor, "Kestrune");
  EXPECT_STRNE(factory.url, "");
  EXPECT_NE(std::string(factory.email).find('@'), std::string::npos);
  EXPECT_EQ(factory.flags, 0x10) << "unicode";

  const std::vector<TClassInfo> classes = module.Classes();
  ASSERT_EQ(classes.size(), 1u);
  const TClassInfo& c = classes[0];
  EXPECT_EQ(c.Category, "Audio Module Class");
  EXPECT_EQ(c.Name, "Kestrune Glowrasp");
  EXPECT_EQ(c.SubCategories, "Fx|Distortion");
  EXPECT_EQ(c.Vendor, "Kestrune");
  EXPECT_EQ(c.Version, "1.0.0");
  EXPECT_EQ(c.SdkVersion.rfind("VST 3.", 0), 0u) << c.SdkVersion;

  // The older forms of class info say the same.
  auto* f = module.Factory();
  v3_class_info info1{};
  ASSERT_EQ((*f)->v1.get_class_info(f, 0, &info1), V3_OK);
  EXPECT_TRUE(SameId(info1.class_id, c.Id));
  EXPECT_STREQ(info1.name, "Kestrune Glowrasp");
  v3_class_info_2 info2{};
  ASSERT_EQ((*f)->v2.get_class_info_2(f, 0, &info2), V3_OK);
  EXPECT_TRUE(SameId(info2.class_id, c.Id));
  EXPECT_STREQ(info2.sub_categories, "Fx|Distortion");
  EXPECT_EQ((*f)->v1.get_class_info(f, 1, &info1), V3_INVALID_ARG);

  // Hosts keep projects by the class ID: it never changes. Windows keeps the
  // first three fields of an ID in its own byte order.
#ifdef _WIN32
  EXPECT_EQ(HexId(c.Id), "3152474B535633548E2A4C7119D05B3E");
#else
  EXPECT_EQ(HexId(c.Id), "4B475231565354338E2A4C7119D05B3E");
#endif
  void* object = nullptr;
  const v3_tuid other{1, 2, 3};
  EXPECT_NE((*f)->v1.create_instance(f, other, v3_component_iid, &object), V3_OK);
  EXPECT_EQ(object, nullptr);
}

// The Linux build writes the module description; a cross build makes the binary alone.
#ifndef _WIN32
std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(TVst3DescriptionTest, ModuleInfoSaysWhatTheFactorySays) {
  const std::string json = ReadFile(GLOWRASP_VST3_BUNDLE "/Contents/Resources/moduleinfo.json");
  ASSERT_FALSE(json.empty());
  for (const char* expected :
       {"\"CID\": \"4B475231565354338E2A4C7119D05B3E\"", "\"Category\": \"Audio Module Class\"",
        "\"Name\": \"Kestrune Glowrasp\"", "\"Vendor\": \"Kestrune\"", "\"Version\": \"1.0.0\"",
        "\"Sub Categories\": [\"Fx\", \"Distortion\"]", "\"Cardinality\": 2147483647",
        "\"Unicode\": true"})
    EXPECT_NE(json.find(expected), std::string::npos) << expected << " in\n" << json;
}

#endif

TEST(TVst3DescriptionTest, OneComponentIsItsOwnController) {
  TOurPlugin p;
  EXPECT_TRUE(p.Plugin.SingleComponent());
  v3_tuid id{};
  EXPECT_NE(p.Comp().get_controller_class_id(p.Component(), id), V3_OK);
  // Hosts initialize the controller too and terminate each.
  auto& base = (*p.Controller())->base;
  EXPECT_EQ(base.initialize(p.Controller(), p.Host.Unknown()), V3_OK);
  EXPECT_EQ(base.terminate(p.Controller()), V3_OK);
  EXPECT_FALSE(p.Plugin.Component().Query<v3_funknown>(v3_bstream_iid));
}

TEST(TVst3DescriptionTest, OneStereoBusEachWayAndNoOtherArrangement) {
  TOurPlugin p;
  EXPECT_EQ(p.Comp().get_bus_count(p.Component(), V3_AUDIO, V3_INPUT), 1);
  EXPECT_EQ(p.Comp().get_bus_count(p.Component(), V3_AUDIO, V3_OUTPUT), 1);
  EXPECT_EQ(p.Comp().get_bus_count(p.Component(), V3_EVENT, V3_INPUT), 0);
  EXPECT_EQ(p.Comp().get_bus_count(p.Component(), V3_EVENT, V3_OUTPUT), 0);
  for (const int direction : {V3_INPUT, V3_OUTPUT}) {
    v3_bus_info bus{};
    ASSERT_EQ(p.Comp().get_bus_info(p.Component(), V3_AUDIO, direction, 0, &bus), V3_OK);
    EXPECT_EQ(bus.channel_count, 2);
    EXPECT_EQ(bus.bus_type, V3_MAIN);
    EXPECT_EQ(bus.flags & V3_DEFAULT_ACTIVE, static_cast<uint32_t>(V3_DEFAULT_ACTIVE));
    EXPECT_FALSE(FromUtf16(bus.bus_name, 128).empty());
    EXPECT_NE(p.Comp().get_bus_info(p.Component(), V3_AUDIO, direction, 1, &bus), V3_OK);
    v3_speaker_arrangement arrangement = 0;
    ASSERT_EQ(p.Proc().get_bus_arrangement(p.Processor(), direction, 0, &arrangement), V3_OK);
    EXPECT_EQ(arrangement, static_cast<v3_speaker_arrangement>(V3_SPEAKER_L | V3_SPEAKER_R));
  }

  struct TArrangementCase {
    const char* Name;
    std::vector<v3_speaker_arrangement> In, Out;
    bool Accepted;
  };
  constexpr v3_speaker_arrangement stereo = V3_SPEAKER_L | V3_SPEAKER_R;
  constexpr v3_speaker_arrangement mono = V3_SPEAKER_M;
  constexpr v3_speaker_arrangement surround =
      stereo | V3_SPEAKER_C | V3_SPEAKER_LFE | V3_SPEAKER_LS | V3_SPEAKER_RS;
  const TArrangementCase cases[] = {
      {"stereo", {stereo}, {stereo}, true},
      {"mono", {mono}, {mono}, false},
      {"mono to stereo", {mono}, {stereo}, false},
      {"5.1", {surround}, {surround}, false},
      {"side chain", {stereo, stereo}, {stereo}, false},
      {"no buses", {}, {}, false},
  };
  for (const TArrangementCase& c : cases) {
    auto in = c.In;
    auto out = c.Out;
    const v3_result result =
        p.Proc().set_bus_arrangements(p.Processor(), in.data(), static_cast<int32_t>(in.size()),
                                      out.data(), static_cast<int32_t>(out.size()));
    EXPECT_EQ(result == V3_OK, c.Accepted) << c.Name;
  }
  EXPECT_EQ(p.Proc().can_process_sample_size(p.Processor(), V3_SAMPLE_32), V3_OK);
  EXPECT_NE(p.Proc().can_process_sample_size(p.Processor(), V3_SAMPLE_64), V3_OK);
}

TEST(TVst3DescriptionTest, LatencyAndTailInFrames) {
  TOurPlugin p;
  EXPECT_EQ(p.Proc().get_latency_samples(p.Processor()), 6u);
  EXPECT_EQ(p.Proc().get_tail_samples(p.Processor()), 12u);
}

TEST(TVst3DescriptionTest, ParametersWithUnitsFlagsAndDefaults) {
  struct TExpected {
    v3_param_id Id;
    const char* Title;
    const char* Units;
    int32_t Flags;
    int32_t Steps;
    double Default;
  };
  constexpr int32_t automate = V3_PARAM_CAN_AUTOMATE;
  const TExpected expected[] = {
      {kGainId, "Gain", "dB", automate, 0, 0.5},
      {kIntensityId, "Intensity", "%", automate, 0, 1.0},
      {kOutGainId, "Out Gain", "dB", automate, 0, 0.5},
      {kBypassId, "Bypass", "", automate | V3_PARAM_IS_BYPASS, 1, 0.0},
  };
  TOurPlugin p;
  const std::vector<v3_param_info> parameters = p.Plugin.Parameters();
  ASSERT_EQ(parameters.size(), std::size(expected));
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const v3_param_info& info = parameters[i];
    const TExpected& e = expected[i];
    SCOPED_TRACE(e.Title);
    EXPECT_EQ(info.param_id, e.Id);
    EXPECT_EQ(FromUtf16(info.title, 128), e.Title);
    EXPECT_FALSE(FromUtf16(info.short_title, 128).empty());
    EXPECT_EQ(FromUtf16(info.units, 128), e.Units);
    EXPECT_EQ(info.flags, e.Flags);
    EXPECT_EQ(info.step_count, e.Steps);
    EXPECT_EQ(info.default_normalised_value, e.Default);
    EXPECT_EQ(p.Ctrl().get_parameter_normalised(p.Controller(), e.Id), e.Default);
  }
  v3_param_info info{};
  EXPECT_EQ(p.Ctrl().get_parameter_info(p.Controller(), 4, &info), V3_INVALID_ARG);
  EXPECT_EQ(p.Ctrl().get_parameter_info(p.Controller(), -1, &info), V3_INVALID_ARG);
}

// Every description is built from the one parameter table.
TEST(TVst3DescriptionTest, ParametersFollowTheParameterTable) {
  TOurPlugin p;
  const std::vector<v3_param_info> parameters = p.Plugin.Parameters();
  ASSERT_EQ(parameters.size(), kParameterTable.size());
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const TParameterDescription& d = kParameterTable[i];
    const v3_param_info& info = parameters[i];
    SCOPED_TRACE(d.Name);
    EXPECT_EQ(info.param_id, static_cast<v3_param_id>(d.Id));
    EXPECT_EQ(FromUtf16(info.title, 128), d.Name);
    EXPECT_EQ(FromUtf16(info.short_title, 128), d.ShortName);
    EXPECT_EQ(FromUtf16(info.units, 128), d.Unit);
    EXPECT_EQ(info.default_normalised_value, (d.Default - d.Min) / d.Span());
    EXPECT_EQ(p.Ctrl().normalised_parameter_to_plain(p.Controller(), info.param_id, 0.0), d.Min);
    EXPECT_EQ(p.Ctrl().normalised_parameter_to_plain(p.Controller(), info.param_id, 1.0), d.Max);
  }
}

// Hosts built on the current SDK refuse a processor that does not say what
// it needs of the process context; the shaper needs none of it.
TEST(TVst3DescriptionTest, AsksNothingOfTheProcessContext) {
  TOurPlugin p;
  void* object = nullptr;
  ASSERT_EQ((*p.Component())
                ->query_interface(p.Component(), v3_process_context_requirements_iid, &object),
            V3_OK);
  auto** requirements = static_cast<v3_process_context_requirements_cpp**>(object);
  EXPECT_EQ((*requirements)->req.get_process_context_requirements(requirements), 0u);
  (*requirements)->unref(requirements);
}

TEST(TVst3DescriptionTest, ValuesAndTextsBothWays) {
  TOurPlugin p;
  auto text = [&](v3_param_id id, double normalized) {
    v3_str_128 out{};
    EXPECT_EQ(p.Ctrl().get_parameter_string_for_value(p.Controller(), id, normalized, out), V3_OK);
    return FromUtf16(out, 128);
  };
  auto value = [&](v3_param_id id, const std::string& typed, double* normalized) {
    std::vector<int16_t> input = ToUtf16(typed);
    return p.Ctrl().get_parameter_value_for_string(p.Controller(), id, input.data(), normalized);
  };
  EXPECT_EQ(text(kGainId, 0.5), "0.0");
  EXPECT_EQ(text(kIntensityId, 0.25), "25.0");
  EXPECT_EQ(text(kOutGainId, 1.0), "48.0");

  struct TTyped {
    v3_param_id Id;
    const char* Text;
    double Plain;
  };
  for (const TTyped& t : {TTyped{kGainId, "-6.5 dB", -6.5}, TTyped{kGainId, "6,5", 6.5},
                          TTyped{kIntensityId, "75 %", 75.0}, TTyped{kOutGainId, "99", 48.0}}) {
    double normalized = -1;
    ASSERT_EQ(value(t.Id, t.Text, &normalized), V3_OK) << t.Text;
    EXPECT_NEAR(p.Ctrl().normalised_parameter_to_plain(p.Controller(), t.Id, normalized), t.Plain,
                1e-4)
        << t.Text;
  }
  double untouched = 0.125;
  EXPECT_NE(value(kGainId, "loud", &untouched), V3_OK);
  EXPECT_NE(value(kGainId, "5 %", &untouched), V3_OK) << "another parameter's unit";
  EXPECT_EQ(untouched, 0.125);

  EXPECT_EQ(p.Ctrl().plain_parameter_to_normalised(p.Controller(), kGainId, 24.0), 0.75);
  EXPECT_EQ(p.Ctrl().normalised_parameter_to_plain(p.Controller(), kIntensityId, 0.5), 50.0);
  // Unknown IDs are refused, not mistaken for another parameter.
  v3_str_128 out{};
  EXPECT_EQ(p.Ctrl().get_parameter_string_for_value(p.Controller(), 4, 0.5, out), V3_INVALID_ARG);
  EXPECT_EQ(p.Ctrl().set_parameter_normalised(p.Controller(), 0xFFFFFFFF, 0.5), V3_INVALID_ARG);
  EXPECT_EQ(p.Ctrl().set_parameter_normalised(p.Controller(), kGainId, NAN), V3_INVALID_ARG);
  EXPECT_EQ(p.Ctrl().get_parameter_normalised(p.Controller(), kGainId), 0.5);
}

} // namespace
