#include "base/DecimalSeparator.h"
#include "shaper/DisplayText.h"
#include "shaper/EffParams.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>

namespace {

class EffectDefinition : public ::testing::Test {
protected:
  void Start() {
    module.ParamHost()->SetSampleRate(44100);
    module.ParamHost()->SetBlockSize(512);
  }
  TVSTParameter* Param(int index) { return module.ParamHost()->Parameters().Items(index); }
  // One frame of silence: processing applies the values set since the last call.
  void ProcessFrame() {
    float in[2] = {0, 0};
    float out[2] = {0, 0};
    TVSTEffectOnProcessRecord record;
    record.Inputs[0] = &in[0];
    record.Inputs[1] = &in[1];
    record.Outputs[0] = &out[0];
    record.Outputs[1] = &out[1];
    record.SampleFrames = 1;
    record.Replacing = -1;
    module.EffectProcessor()->ProcessS2S(&record);
  }

  TEffParameters module;
};

} // namespace

TEST_F(EffectDefinition, ParametersAsDescribed) {
  const struct {
    const char* Name;
    const char* Label;
    std::int32_t Def;
    const char* Text;
    double Real;
  } cases[] = {{"Gain", "dB", 500000, "0.0", 1.0},
               {"Intensity", "%", 1000000, "100.0", 1.0},
               {"Out Gain", "dB", 500000, "0.0", 1.0}};
  ASSERT_EQ(module.ParamHost()->Parameters().Count(), 3);
  for (int i = 0; i < 3; ++i) {
    TVSTParameter* p = Param(i);
    EXPECT_EQ(p->Name(), cases[i].Name);
    EXPECT_EQ(p->DisplayLabel(), cases[i].Label);
    EXPECT_EQ(p->MinValue(), 0);
    EXPECT_EQ(p->MaxValue(), 1000000);
    EXPECT_EQ(p->DefValue(), cases[i].Def);
    EXPECT_EQ(p->CurValue(), cases[i].Def);
    EXPECT_EQ(p->StrValue().View(), cases[i].Text);
    EXPECT_EQ(p->RealValue(), cases[i].Real);
  }
  const TVSTParameterHost& host = *module.ParamHost();
  EXPECT_EQ(host.UniqueId, "KGR1");
  EXPECT_EQ(host.EditorWidth, 402);
  EXPECT_EQ(host.EditorHeight, 250);
  EXPECT_EQ(module.EffectProcessor()->GetDelay(), 6);
  EXPECT_TRUE(module.EffectProcessor()->HasEditor);
}

TEST_F(EffectDefinition, ProcessorAppearsWithTheParametersValues) {
  EXPECT_EQ(module.ShaperUnit(), nullptr);
  Param(0)->SetCurValue(1000000); // not active yet: caches only
  Start();
  TShaperUnit* unit = module.ShaperUnit();
  ASSERT_NE(unit, nullptr);
  ProcessFrame();
  EXPECT_EQ(unit->DriveGain.load(), 251.18864f);
  EXPECT_EQ(unit->Intensity.load(), 1.0f);
  EXPECT_EQ(unit->OutputGain.load(), 1.0f);

  // Only processing writes the settings: a change waits for the next call.
  Param(2)->SetCurValue(0);
  EXPECT_EQ(unit->OutputGain.load(), 1.0f);
  ProcessFrame();
  EXPECT_NEAR(unit->OutputGain.load(), 0.00398107f, 1e-8);
  EXPECT_EQ(unit->DriveGain.load(), 251.18864f);
  EXPECT_EQ(unit->Intensity.load(), 1.0f);
  Param(1)->SetCurValue(250000);
  ProcessFrame();
  EXPECT_EQ(unit->Intensity.load(), 0.25f);
}

TEST_F(EffectDefinition, RealValuesAndTexts) {
  const struct {
    int Index;
    std::int32_t Value;
    const char* Text;
    double Real;
  } cases[] = {
      {0, 0, "-48.0", 0.0039810717055349725},
      {0, 1000000, "48.0", 251.18864315095806},
      {0, 500000, "0.0", 1.0},
      {0, 499000, "-0.1", -1},
      {0, 499479, "-0.1", -1},
      {0, 499480, "0.0", -1},
      {0, 499999, "0.0", -1},
      {0, 500521, "0.1", -1},
      {2, 250000, "-24.0", 0.063095734448019331},
      {1, 500, "0.1", 0.0005},
      {1, 2500, "0.3", 0.0025},
      {1, 999999, "100.0", 0.999999},
      {1, 0, "0.0", 0.0},
  };
  for (const auto& c : cases) {
    Param(c.Index)->SetCurValue(c.Value);
    EXPECT_EQ(Param(c.Index)->StrValue().View(), c.Text) << c.Index << " " << c.Value;
    if (c.Real >= 0) {
      EXPECT_DOUBLE_EQ(Param(c.Index)->RealValue(), c.Real) << c.Index << " " << c.Value;
    }
  }
}

TEST(DisplayText, OneDecimalHalvesAwayFromZero) {
  const struct {
    long double Value;
    const char* Text;
  } cases[] = {
      {0.05L, "0.1"},
      {-0.05L, "-0.1"},
      {0.0499L, "0.0"},
      {-0.0499L, "0.0"},
      {-0.0L, "0.0"},
      {0.0L, "0.0"},
      {0.15L, "0.2"},
      {0.25L, "0.3"},
      {-47.95L, "-48.0"},
      {99.95L, "100.0"},
      {1e-30L, "0.0"},
      {123456.75L, "123456.8"},
      // 18 significant digits first: the 9s become a 5 at the rounding digit
      {0.04999999999999999999L, "0.1"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatOneDecimal(c.Value, '.').View(), c.Text) << static_cast<double>(c.Value);
  EXPECT_EQ(FormatOneDecimal(std::numeric_limits<long double>::quiet_NaN(), '.').View(), "nan");
}

// The separator follows the user's regional settings, read from the
// environment without touching the process's own locale.
TEST(DisplayText, DecimalSeparatorFromTheUsersSettings) {
  const char* saved = std::getenv("LC_ALL");
  const std::string previous = saved ? saved : "";
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  RefreshUserDecimalSeparator();
  TEffParameters module;
  const std::string german(module.ParamHost()->Parameters().Items(0)->StrValue().View());
  const char* processLocale = std::setlocale(LC_NUMERIC, nullptr);
  if (saved)
    setenv("LC_ALL", previous.c_str(), 1);
  else
    unsetenv("LC_ALL");
  RefreshUserDecimalSeparator();
  EXPECT_EQ(german, "0,0");
  EXPECT_STREQ(processLocale, "C");
  EXPECT_EQ(FormatOneDecimal(-12.25L, ',').View(), "-12,3");
}
