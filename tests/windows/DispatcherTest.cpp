// The dispatcher, the parameters and their texts as a Windows host reads
// them, and the guard's message box.
#include "WinTestHost.h"
#include "common/FixedAnswerOpcodes.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace glowrasp::wintest {
namespace {

class Dispatcher : public ::testing::Test {
protected:
  host::Plugin plugin{Library()};
  TMessageRecording messages{plugin};
};

TEST_F(Dispatcher, OpcodesWithFixedAnswers) {
  for (const TFixedAnswer& c : kFixedAnswers)
    EXPECT_EQ(plugin.dispatch(c.Opcode, 3, 7, nullptr, 1.0f), c.Result) << "opcode " << c.Opcode;
  EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(Dispatcher, ProgramAndEditorRectangle) {
  char name[32] = {};
  plugin.dispatch(effGetProgramName, 0, 0, name);
  EXPECT_STREQ(name, "Default");
  plugin.dispatch(effSetProgram, 0, 1);
  EXPECT_EQ(plugin.dispatch(effGetProgram), 0);

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
  // No editor before the host has told sample rate and block size.
  EXPECT_EQ(plugin.dispatch(effEditOpen), 0);
}

// The decimal separator comes from the user's regional settings.
char UserSeparator() {
  char separator[4] = {};
  return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator) == 2
             ? separator[0]
             : '.';
}

std::string WithSeparator(std::string text, char separator) {
  std::replace(text.begin(), text.end(), '.', separator);
  return text;
}

TEST_F(Dispatcher, ParametersNamesLabelsAndTexts) {
  const struct {
    int Index;
    float Value;
    const char* Display;
  } cases[] = {
      {host::kGain, 0.5f, "0.0"},         {host::kGain, 0.0f, "-48.0"},
      {host::kGain, 1.0f, "48.0"},        {host::kGain, 0.25f, "-24.0"},
      {host::kGain, 0.5005f, "0.0"},      {host::kGain, 0.4995f, "0.0"},
      {host::kIntensity, 1.0f, "100.0"},  {host::kIntensity, 0.123456f, "12.3"},
      {host::kIntensity, 0.0005f, "0.1"}, {host::kIntensity, 0.00049f, "0.0"},
      {host::kOutGain, 0.75f, "24.0"},    {host::kOutGain, 2.0f, "48.0"},
      {host::kOutGain, -1.0f, "-48.0"},
  };
  const char separator = UserSeparator();
  // The runner names the separator that the locale it chose must give.
  if (const char* expected = std::getenv("GLOWRASP_DECIMAL_SEPARATOR")) {
    ASSERT_EQ(separator, expected[0]) << "the user's regional settings did not take";
  }
  for (const auto& c : cases) {
    plugin.setParameter(c.Index, c.Value);
    EXPECT_EQ(plugin.paramDisplay(c.Index), WithSeparator(c.Display, separator))
        << "parameter " << c.Index << " at " << c.Value;
    EXPECT_EQ(plugin.getParameter(c.Index), std::clamp(c.Value, 0.0f, 1.0f));
  }
  const std::vector<host::ParamView> views = host::describeParameters(plugin);
  ASSERT_EQ(views.size(), 3u);
  EXPECT_EQ(views[0].name, "Gain");
  EXPECT_EQ(views[0].label, "dB");
  EXPECT_EQ(views[1].name, "Intensity");
  EXPECT_EQ(views[1].label, "%");
  EXPECT_EQ(views[2].name, "Out Gain");
  EXPECT_EQ(views[2].label, "dB");
}

// The editor's window cannot be made in a window that does not exist: the
// dispatcher's guard reports it and the host gets 0.
TEST_F(Dispatcher, GuardShowsTheErrorOnceAndAnswersZero) {
  plugin.setSampleRate(44100.0f);
  plugin.setBlockSize(512);
  const auto notAWindow = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x7ff0));
  EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, notAWindow), 0);
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0].rfind("Exception during \"dispatchEffectClass\": ", 0), 0u)
      << messages.Texts()[0];
}

} // namespace
} // namespace glowrasp::wintest
