// The dispatcher opcodes, parameters and texts, as a host drives them.
#include "HostTestSupport.h"
#include "OpcodeAnswers.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <ostream>

namespace glowrasp::hosttest {

void PrintTo(const TOpcodeAnswer& answer, std::ostream* os) {
  *os << answer.Name;
}

namespace {

class OpcodeAnswer : public ::testing::TestWithParam<TOpcodeAnswer> {};

TEST_P(OpcodeAnswer, IsFixed) {
  const TOpcodeAnswer& row = GetParam();
  host::Plugin plugin(Library());
  TMessageRecording messages(plugin);
  std::array<char, 256> buffer;
  buffer.fill('\x7f');
  void* ptr = nullptr;
  if (row.Argument) {
    std::strncpy(buffer.data(), row.Argument, buffer.size() - 1);
    ptr = buffer.data();
  } else if (row.Text) {
    ptr = buffer.data();
  }
  EXPECT_EQ(plugin.dispatch(row.Opcode, row.Index, row.Value, ptr, row.Opt), row.Result);
  if (row.Text) {
    buffer.back() = '\0';
    EXPECT_STREQ(buffer.data(), row.Text);
  }
  EXPECT_TRUE(messages.Texts().empty()) << messages.Texts().front();
}

INSTANTIATE_TEST_SUITE_P(Dispatcher, OpcodeAnswer, ::testing::ValuesIn(kOpcodeAnswers),
                         [](const auto& test) { return std::string(test.param.Name); });

class Dispatcher : public ::testing::Test {
protected:
  host::Plugin plugin{Library()};
};

TEST_F(Dispatcher, EditorRectangleIsFixedAndStable) {
  ERect* first = nullptr;
  ERect* second = nullptr;
  EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &first), 1);
  EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &second), 1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->top, 0);
  EXPECT_EQ(first->left, 0);
  EXPECT_EQ(first->bottom, 250);
  EXPECT_EQ(first->right, 402);
}

TEST_F(Dispatcher, EditorDoesNotOpenBeforeTheHostIsSetUp) {
  EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(plugin.dispatch(effEditClose), 0);
}

TEST_F(Dispatcher, NullPointersGetNeutralAnswers) {
  for (VstInt32 opcode :
       {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
        effEditGetRect, effGetChunk, effSetChunk})
    EXPECT_EQ(plugin.dispatch(opcode, 0, 0, nullptr), 0) << opcode;
  EXPECT_EQ(Text(plugin, effGetProgramName), "Default");
}

TEST_F(Dispatcher, OneProgramOnly) {
  for (VstIntPtr program : {1, 5, 0}) {
    plugin.dispatch(effSetProgram, 0, program);
    EXPECT_EQ(plugin.dispatch(effGetProgram), 0) << program;
  }
}

TEST_F(Dispatcher, ProgramNameFitsTheHostsBuffer) {
  char name[] = "A program name far longer than any host buffer";
  plugin.dispatch(effSetProgramName, 0, 0, name);
  char buffer[64];
  std::memset(buffer, 0x7f, sizeof buffer);
  plugin.dispatch(effGetProgramName, 0, 0, buffer);
  EXPECT_EQ(std::string(buffer), std::string(name, 23));
  EXPECT_EQ(buffer[24], 0x7f) << "wrote past the 24-byte buffer";

  char shortName[] = "Verse";
  plugin.dispatch(effSetProgramName, 0, 0, shortName);
  EXPECT_EQ(Text(plugin, effGetProgramName), "Verse");
}

TEST_F(Dispatcher, ParameterTexts) {
  const struct {
    VstInt32 Index;
    const char* Name;
    const char* Label;
    const char* Display;
  } cases[] = {{0, "Gain", "dB", "0.0"},
               {1, "Intensity", "%", "100.0"},
               {2, "Out Gain", "dB", "0.0"},
               {-1, "", "", ""},
               {3, "", "", ""},
               {1000, "", "", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(Text(plugin, effGetParamName, c.Index), c.Name) << c.Index;
    EXPECT_EQ(Text(plugin, effGetParamLabel, c.Index), c.Label) << c.Index;
    EXPECT_EQ(Text(plugin, effGetParamDisplay, c.Index), WithUserSeparator(c.Display)) << c.Index;
  }
  const std::vector<host::ParamView> views = host::describeParameters(plugin);
  ASSERT_EQ(views.size(), 3u);
  for (std::size_t i = 0; i < views.size(); ++i) {
    EXPECT_EQ(views[i].index, static_cast<int>(i));
    EXPECT_EQ(views[i].name, cases[i].Name);
    EXPECT_EQ(views[i].label, cases[i].Label);
    EXPECT_EQ(views[i].display, WithUserSeparator(cases[i].Display));
  }
}

// Also run by the Windows runner with the user's decimal separator set to a
// comma.
TEST_F(Dispatcher, ParameterValuesAreQuantisedAndClamped) {
  // The runner names the separator that the locale it chose must give.
  if (const char* expected = std::getenv("GLOWRASP_DECIMAL_SEPARATOR")) {
    ASSERT_EQ(UserDecimalSeparator(), expected[0]) << "the user's regional settings did not take";
  }
  const struct {
    VstInt32 Index;
    float Written;
    float Read;
    const char* Display;
  } cases[] = {
      {0, 0.5f, 0.5f, "0.0"},
      {0, 0.3333333f, 0.333333f, "-16.0"},
      {0, 1.0f, 1.0f, "48.0"},
      {0, 0.0f, 0.0f, "-48.0"},
      {0, 0.25f, 0.25f, "-24.0"},
      {0, 0.5005f, 0.5005f, "0.0"},
      {0, 0.4995f, 0.4995f, "0.0"},
      {1, 1.7f, 1.0f, "100.0"},
      {1, -0.2f, 0.0f, "0.0"},
      {1, std::numeric_limits<float>::quiet_NaN(), 0.0f, "0.0"},
      {1, std::numeric_limits<float>::infinity(), 1.0f, "100.0"},
      {1, 1.0f, 1.0f, "100.0"},
      {1, 0.123456f, 0.123456f, "12.3"},
      {1, 0.0005f, 0.0005f, "0.1"},
      {1, 0.00049f, 0.00049f, "0.0"},
      {2, 0.499479f, 0.499479f, "-0.1"},
      {2, 0.49948f, 0.49948f, "0.0"},
      {2, 0.75f, 0.75f, "24.0"},
      {2, 2.0f, 1.0f, "48.0"},
      {2, -1.0f, 0.0f, "-48.0"},
  };
  for (const auto& c : cases) {
    plugin.setParameter(c.Index, c.Written);
    EXPECT_EQ(plugin.getParameter(c.Index), c.Read) << c.Index << " " << c.Written;
    EXPECT_EQ(plugin.paramDisplay(c.Index), WithUserSeparator(c.Display))
        << c.Index << " " << c.Written;
  }
  plugin.setParameter(3, 0.5f);
  plugin.setParameter(-1, 0.5f);
  EXPECT_EQ(plugin.getParameter(3), 0.0f);
  EXPECT_EQ(plugin.getParameter(-1), 0.0f);
}

TEST_F(Dispatcher, HostSetParameterIsNotReportedBack) {
  int automations = 0;
  plugin.onAutomation([&](int, float) { ++automations; });
  plugin.setParameter(host::kGain, 0.75f);
  EXPECT_EQ(automations, 0);
}

} // namespace
} // namespace glowrasp::hosttest
