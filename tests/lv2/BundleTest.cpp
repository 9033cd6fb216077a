// The bundle as hosts read it: its description through lilv, and what the two
// binaries export and link.
#include "LilvWorld.h"
#include "params/ParameterTable.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TExpectedPort {
  const char* Symbol;
  const char* Type;      // lv2:AudioPort or lv2:ControlPort
  const char* Direction; // lv2:InputPort or lv2:OutputPort
  float Minimum;
  float Maximum;
  float Default;
  const char* Unit; // null when the port has none
};

const TExpectedPort kPorts[] = {
    {"in_l", LV2_CORE__AudioPort, LV2_CORE__InputPort, NAN, NAN, NAN, nullptr},
    {"in_r", LV2_CORE__AudioPort, LV2_CORE__InputPort, NAN, NAN, NAN, nullptr},
    {"out_l", LV2_CORE__AudioPort, LV2_CORE__OutputPort, NAN, NAN, NAN, nullptr},
    {"out_r", LV2_CORE__AudioPort, LV2_CORE__OutputPort, NAN, NAN, NAN, nullptr},
    {"gain", LV2_CORE__ControlPort, LV2_CORE__InputPort, -48, 48, 0, LV2_UNITS__db},
    {"intensity", LV2_CORE__ControlPort, LV2_CORE__InputPort, 0, 100, 100, LV2_UNITS__pc},
    {"out_gain", LV2_CORE__ControlPort, LV2_CORE__InputPort, -48, 48, 0, LV2_UNITS__db},
    {"latency", LV2_CORE__ControlPort, LV2_CORE__OutputPort, 0, 6, 0, LV2_UNITS__frame},
    {"enabled", LV2_CORE__ControlPort, LV2_CORE__InputPort, 0, 1, 1, nullptr},
};

std::string Text(const LilvNode* node) {
  return node ? lilv_node_as_string(node) : "";
}

void ExpectSameFloat(float actual, float expected, const char* what) {
  if (std::isnan(expected))
    EXPECT_TRUE(std::isnan(actual)) << what << " is " << actual;
  else
    EXPECT_EQ(actual, expected) << what;
}

class TBundleTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_NE(Plugin, nullptr) << "the bundle has no " GLOWRASP_LV2_URI; }

  const LilvPort* PortBySymbol(const char* symbol) const {
    TNode name(lilv_new_string(World.World(), symbol));
    return lilv_plugin_get_port_by_symbol(Plugin, name);
  }

  TLilvWorld World;
  const LilvPlugin* Plugin = World.Plugin();
};

TEST_F(TBundleTest, DescribesTheProduct) {
  EXPECT_TRUE(lilv_plugin_verify(Plugin));
  TNode name(lilv_plugin_get_name(Plugin));
  EXPECT_EQ(Text(name), "Kestrune Glowrasp");
  TNode author(lilv_plugin_get_author_name(Plugin));
  EXPECT_EQ(Text(author), "Kestrune");
  // Hosts show the maintainer's ways of contact and a one-line description.
  TNode mail(lilv_plugin_get_author_email(Plugin));
  EXPECT_TRUE(Text(mail).starts_with("mailto:")) << Text(mail);
  TNode homepage(lilv_plugin_get_author_homepage(Plugin));
  EXPECT_TRUE(Text(homepage).starts_with("https://")) << Text(homepage);
  TNode shortdescPredicate(World.Uri("http://usefulinc.com/ns/doap#shortdesc"));
  TNode shortdesc(
      lilv_world_get(World.World(), lilv_plugin_get_uri(Plugin), shortdescPredicate, nullptr));
  EXPECT_FALSE(Text(shortdesc).empty());
  EXPECT_EQ(Text(lilv_plugin_class_get_uri(lilv_plugin_get_class(Plugin))),
            LV2_CORE__WaveshaperPlugin);
  TNode hardRT(World.Uri(LV2_CORE__hardRTCapable));
  EXPECT_TRUE(lilv_plugin_has_feature(Plugin, hardRT));
  LilvNodes* required = lilv_plugin_get_required_features(Plugin);
  EXPECT_EQ(lilv_nodes_size(required), 0u) << "a host must not need anything to run it";
  lilv_nodes_free(required);
  TNode minor(World.Uri(LV2_CORE__minorVersion));
  TNode micro(World.Uri(LV2_CORE__microVersion));
  LilvNodes* minors = lilv_plugin_get_value(Plugin, minor);
  LilvNodes* micros = lilv_plugin_get_value(Plugin, micro);
  ASSERT_EQ(lilv_nodes_size(minors), 1u);
  ASSERT_EQ(lilv_nodes_size(micros), 1u);
  EXPECT_EQ(lilv_node_as_int(lilv_nodes_get_first(minors)), 0);
  EXPECT_EQ(lilv_node_as_int(lilv_nodes_get_first(micros)), 0);
  lilv_nodes_free(minors);
  lilv_nodes_free(micros);
}

TEST_F(TBundleTest, PortsHaveStableSymbolsRangesAndUnits) {
  constexpr std::size_t count = std::size(kPorts);
  ASSERT_EQ(lilv_plugin_get_num_ports(Plugin), count);
  std::vector<float> minimum(count);
  std::vector<float> maximum(count);
  std::vector<float> defaults(count);
  lilv_plugin_get_port_ranges_float(Plugin, minimum.data(), maximum.data(), defaults.data());
  TNode unitPredicate(World.Uri(LV2_UNITS__unit));
  TNode commentPredicate(World.Uri(LILV_NS_RDFS "comment"));
  for (std::uint32_t i = 0; i < count; ++i) {
    const TExpectedPort& expected = kPorts[i];
    SCOPED_TRACE(expected.Symbol);
    const LilvPort* port = lilv_plugin_get_port_by_index(Plugin, i);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(Text(lilv_port_get_symbol(Plugin, port)), expected.Symbol);
    EXPECT_EQ(PortBySymbol(expected.Symbol), port);
    TNode type(World.Uri(expected.Type));
    TNode direction(World.Uri(expected.Direction));
    EXPECT_TRUE(lilv_port_is_a(Plugin, port, type));
    EXPECT_TRUE(lilv_port_is_a(Plugin, port, direction));
    ExpectSameFloat(minimum[i], expected.Minimum, "minimum");
    ExpectSameFloat(maximum[i], expected.Maximum, "maximum");
    ExpectSameFloat(defaults[i], expected.Default, "default");
    TNode comment(lilv_port_get(Plugin, port, commentPredicate));
    EXPECT_FALSE(Text(comment).empty()) << "hosts show it as the port's tooltip";
    LilvNodes* units = lilv_port_get_value(Plugin, port, unitPredicate);
    if (expected.Unit) {
      ASSERT_EQ(lilv_nodes_size(units), 1u);
      EXPECT_EQ(Text(lilv_nodes_get_first(units)), expected.Unit);
    } else {
      EXPECT_EQ(lilv_nodes_size(units), 0u);
    }
    lilv_nodes_free(units);
  }
}

// The parameters' ports are built from the one parameter table.
TEST_F(TBundleTest, ParameterPortsFollowTheParameterTable) {
  for (std::size_t i = 0; i < kParameterTable.size(); ++i) {
    const TParameterDescription& d = kParameterTable[i];
    if (d.Scale == TParameterScale::Switch)
      continue; // lv2:enabled stands for the bypass, the other way round
    SCOPED_TRACE(d.Name);
    const LilvPort* port = PortBySymbol(std::string(d.Symbol).c_str());
    ASSERT_NE(port, nullptr);
    TNode name(lilv_port_get_name(Plugin, port));
    EXPECT_EQ(Text(name), d.Name);
    LilvNode* minimum = nullptr;
    LilvNode* maximum = nullptr;
    LilvNode* fallback = nullptr;
    lilv_port_get_range(Plugin, port, &fallback, &minimum, &maximum);
    const TNode ownedMinimum(minimum), ownedMaximum(maximum), ownedDefault(fallback);
    EXPECT_EQ(lilv_node_as_float(minimum), static_cast<float>(d.Min));
    EXPECT_EQ(lilv_node_as_float(maximum), static_cast<float>(d.Max));
    EXPECT_EQ(lilv_node_as_float(fallback), static_cast<float>(d.Default));
  }
}

TEST_F(TBundleTest, LatencyAndEnabledPortsAreDesignated) {
  ASSERT_TRUE(lilv_plugin_has_latency(Plugin));
  EXPECT_EQ(lilv_plugin_get_latency_port_index(Plugin), 7u);
  TNode output(World.Uri(LV2_CORE__OutputPort));
  TNode input(World.Uri(LV2_CORE__InputPort));
  TNode latency(World.Uri(LV2_CORE__latency));
  TNode enabled(World.Uri(LV2_CORE__enabled));
  EXPECT_EQ(lilv_plugin_get_port_by_designation(Plugin, output, latency), PortBySymbol("latency"));
  EXPECT_EQ(lilv_plugin_get_port_by_designation(Plugin, input, enabled), PortBySymbol("enabled"));
  TNode reportsLatency(World.Uri(LV2_CORE__reportsLatency));
  TNode integer(World.Uri(LV2_CORE__integer));
  TNode toggled(World.Uri(LV2_CORE__toggled));
  EXPECT_TRUE(lilv_port_has_property(Plugin, PortBySymbol("latency"), reportsLatency));
  EXPECT_TRUE(lilv_port_has_property(Plugin, PortBySymbol("latency"), integer));
  EXPECT_TRUE(lilv_port_has_property(Plugin, PortBySymbol("enabled"), toggled));
  // The toggle's default is the integer 1, not the decimal 1.0.
  TNode defaultPredicate(World.Uri(LV2_CORE__default));
  TNode enabledDefault(lilv_port_get(Plugin, PortBySymbol("enabled"), defaultPredicate));
  ASSERT_TRUE(lilv_node_is_int(enabledDefault)) << Text(enabledDefault);
  EXPECT_EQ(lilv_node_as_int(enabledDefault), 1);
}

TEST_F(TBundleTest, OffersAnEmbeddedX11UI) {
  LilvUIs* uis = lilv_plugin_get_uis(Plugin);
  ASSERT_EQ(lilv_uis_size(uis), 1u);
  const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
  EXPECT_EQ(Text(lilv_ui_get_uri(ui)), GLOWRASP_LV2_UI_URI);
  TNode x11(World.Uri(LV2_UI__X11UI));
  EXPECT_TRUE(lilv_ui_is_a(ui, x11));
  char* binary = lilv_file_uri_parse(Text(lilv_ui_get_binary_uri(ui)).c_str(), nullptr);
  EXPECT_EQ(std::string(binary), GLOWRASP_LV2_BUNDLE "/KestruneGlowrasp_ui.so");
  lilv_free(binary);

  struct TStatement {
    const char* Predicate;
    std::set<std::string> Objects;
  };
  const TStatement statements[] = {
      {LV2_CORE__requiredFeature, {LV2_UI__parent, LV2_UI__idleInterface}},
      {LV2_CORE__optionalFeature,
       {LV2_UI__resize, LV2_UI__touch, LV2_UI__noUserResize, LV2_UI__fixedSize,
        LV2_OPTIONS__options, LV2_URID__map}},
      {LV2_OPTIONS__supportedOption, {LV2_UI__scaleFactor}},
      {LV2_CORE__extensionData, {LV2_UI__idleInterface, LV2_OPTIONS__interface}},
  };
  for (const TStatement& statement : statements) {
    SCOPED_TRACE(statement.Predicate);
    TNode predicate(World.Uri(statement.Predicate));
    LilvNodes* objects =
        lilv_world_find_nodes(World.World(), lilv_ui_get_uri(ui), predicate, nullptr);
    std::set<std::string> found;
    LILV_FOREACH(nodes, i, objects)
    found.insert(Text(lilv_nodes_get(objects, i)));
    lilv_nodes_free(objects);
    EXPECT_EQ(found, statement.Objects);
  }
  lilv_uis_free(uis);
}

// ---- The binaries ----------------------------------------------------------

std::vector<std::string> Lines(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::vector<std::string> lines;
  if (!pipe)
    return lines;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe.get())) {
    std::string line(buffer);
    if (!line.empty() && line.back() == '\n')
      line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> DefinedDynamicSymbols(const std::string& path) {
  std::vector<std::string> symbols;
  for (const std::string& line : Lines("nm -D --defined-only '" + path + "'")) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (fields >> address >> kind >> name)
      symbols.push_back(name);
  }
  return symbols;
}

std::vector<std::string> NeededLibraries(const std::string& path) {
  std::vector<std::string> needed;
  for (const std::string& line : Lines("readelf -d '" + path + "'")) {
    const auto open = line.find("(NEEDED)");
    const auto begin = line.find('[');
    const auto end = line.find(']');
    if (open != std::string::npos && begin != std::string::npos && end > begin)
      needed.push_back(line.substr(begin + 1, end - begin - 1));
  }
  return needed;
}

bool NamesAny(const std::vector<std::string>& libraries, std::initializer_list<const char*> stems) {
  for (const std::string& library : libraries)
    for (const char* stem : stems)
      if (library.rfind(stem, 0) == 0)
        return true;
  return false;
}

struct TBinaryCase {
  const char* File;
  const char* Export;
  bool MayLinkWindowSystem;
};

void PrintTo(const TBinaryCase& c, std::ostream* os) {
  *os << c.File;
}

class TBinaryTest : public ::testing::TestWithParam<TBinaryCase> {};

TEST_P(TBinaryTest, ExportsItsDescriptorOnlyAndLinksWhatItMay) {
  const std::string path = std::string(GLOWRASP_LV2_BUNDLE "/") + GetParam().File;
  EXPECT_EQ(DefinedDynamicSymbols(path), std::vector<std::string>{GetParam().Export});
  const std::vector<std::string> needed = NeededLibraries(path);
  ASSERT_FALSE(needed.empty()) << "readelf found nothing in " << path;
  const bool windowSystem = NamesAny(needed, {"libX11", "libxcb", "libXext", "libjpeg", "libgtk"});
  EXPECT_EQ(windowSystem, GetParam().MayLinkWindowSystem) << ::testing::PrintToString(needed);
}

INSTANTIATE_TEST_SUITE_P(
    Bundle, TBinaryTest,
    ::testing::Values(TBinaryCase{"KestruneGlowrasp_dsp.so", "lv2_descriptor", false},
                      TBinaryCase{"KestruneGlowrasp_ui.so", "lv2ui_descriptor", true}),
    [](const auto& testInfo) {
      return std::string(testInfo.param.MayLinkWindowSystem ? "UI" : "DSP");
    });

} // namespace
