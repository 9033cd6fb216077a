#include "base/Error.h"
#include "params/VSTParameterHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

// Records what a parameter tells: its events and its notifications, in order.
class ParameterModel : public ::testing::Test {
public:
  void SetUp() override {
    param = host.Parameters().Add();
    param->Notifier().AddListener(this, TGraphicNotifyEvent::Bind<&ParameterModel::Heard>(this));
  }
  void TearDown() override {
    for (std::int32_t i = 0; i < host.Parameters().Count(); ++i)
      host.Parameters().Items(i)->Notifier().RemoveListener(this);
  }

  void Heard(void*, std::uint8_t Kind, std::int32_t) {
    log.push_back("notify " + std::to_string(Kind));
  }
  TShortText Text(const TVSTParameter* p) {
    log.push_back("text");
    return TShortText(std::to_string(p->CurValue()));
  }
  double Real(const TVSTParameter* p) {
    log.push_back("real");
    return p->CurValue() / 2.0;
  }
  void Changed(TVSTParameter* p) {
    const std::string text(p->StrValue().View());
    const double real = p->RealValue();
    log.push_back("change " + text + " " + std::to_string(real));
  }
  void Automate(TVSTParameter* p, float x) {
    automated.push_back(x);
    p->SetNormalizedValue(x);
  }
  void Bind() {
    param->SetOnGetStrValue(TVSTParamOnGetStrValue::Bind<&ParameterModel::Text>(this));
    param->SetOnGetRealValue(TVSTParamOnGetRealValue::Bind<&ParameterModel::Real>(this));
    param->SetOnParamChange(TVSTOnParamChange::Bind<&ParameterModel::Changed>(this));
    log.clear();
  }
  void Range(std::int32_t min, std::int32_t max) {
    param->SetMaxValue(max);
    param->SetMinValue(min);
  }

  TVSTParameterHost host{nullptr};
  TVSTParameter* param = nullptr;
  std::vector<std::string> log;
  std::vector<float> automated;
};

using Log = std::vector<std::string>;

} // namespace

// A value change converts nothing and broadcasts nothing, whatever thread
// makes it: the text and the real value are worked out when someone reads
// them (here the change handler), and watchers compare the value itself.
TEST_F(ParameterModel, ValueChangeFiresButConvertsOnlyWhenRead) {
  Range(0, 100);
  Bind();
  param->SetCurValue(40);
  EXPECT_TRUE(log.empty()); // not active: no change event
  host.ActivateParameters();
  EXPECT_EQ(log, (Log{"text", "real", "change 40 20.000000"}));
  log.clear();
  param->SetCurValue(40);
  EXPECT_TRUE(log.empty());
  param->SetCurValue(250);
  EXPECT_EQ(log, (Log{"text", "real", "change 100 50.000000"}));
  EXPECT_EQ(param->CurValue(), 100);
  EXPECT_EQ(param->NormalizedValue(), 1.0f);
  log.clear();
  EXPECT_EQ(param->RealValue(), 50.0);
  EXPECT_EQ(param->StrValue().View(), "100");
  EXPECT_EQ(log, (Log{"real", "text"}));
}

TEST_F(ParameterModel, RangeSettersClampAgainstEachOther) {
  // A fresh range is [0, 0]: the maximum cannot go below the fresh minimum.
  param->SetMaxValue(-10);
  param->SetMinValue(-20);
  EXPECT_EQ(param->MinValue(), -20);
  EXPECT_EQ(param->MaxValue(), 0);

  Range(0, 100);
  param->SetCurValue(80);
  param->SetDefValue(90);
  Bind();
  param->SetMaxValue(200); // value stays inside: caches untouched
  EXPECT_EQ(log, (Log{"notify 4"}));
  EXPECT_EQ(param->NormalizedValue(), 0.8f);
  log.clear();
  param->SetMaxValue(50);
  EXPECT_EQ(log, (Log{"notify 4"}));
  EXPECT_EQ(param->CurValue(), 50);
  EXPECT_EQ(param->DefValue(), 50);
}

TEST_F(ParameterModel, NormalizedValuesRoundHalvesToEven) {
  const struct {
    std::int32_t Max;
    float X;
    std::int32_t Expected;
  } cases[] = {
      {1000000, 0.5f, 500000},
      {1, 0.5f, 0},
      {1, 0.75f, 1},
      {3, 0.5f, 2},
      {1000000, std::numeric_limits<float>::quiet_NaN(), 0},
      {1000000, 2.0f, 1000000},
      {1000000, -1.0f, 0},
  };
  for (const auto& c : cases) {
    param->SetMaxValue(c.Max);
    param->SetCurValue(7);
    param->SetNormalizedValue(c.X);
    EXPECT_EQ(param->CurValue(), c.Expected) << c.Max << " " << c.X;
  }
}

TEST_F(ParameterModel, EmptyRangeNormalizesToZero) {
  param->SetMinValue(0);
  param->SetMaxValue(0);
  param->SetCurValue(0);
  EXPECT_EQ(param->NormalizedValue(), 0.0f);
  host.SetOnParamAutomate(TVSTOnParamAutomate::Bind<&ParameterModel::Automate>(this));
  param->SetMaxValue(5);
  param->SetMinValue(5);
  EXPECT_EQ(param->CurValue(), 5);
  EXPECT_EQ(param->NormalizedValue(), 0.0f);
  param->RequestValue(9);
  EXPECT_TRUE(automated.empty()); // clamped to 5, which it already holds
}

TEST_F(ParameterModel, RequestsGoThroughTheHostAndArriveUnchanged) {
  Range(0, 1000000);
  param->RequestValue(123); // no automation callback installed: dropped
  EXPECT_EQ(param->CurValue(), 0);
  host.SetOnParamAutomate(TVSTOnParamAutomate::Bind<&ParameterModel::Automate>(this));
  for (std::int32_t v = 0; v <= 1000000; v += 997) {
    param->RequestValue(v);
    ASSERT_EQ(param->CurValue(), v);
  }
  automated.clear();
  param->RequestValue(param->CurValue());
  EXPECT_TRUE(automated.empty());
  param->RequestValue(5000000);
  EXPECT_EQ(automated, (std::vector<float>{1.0f}));
}

TEST_F(ParameterModel, NamesAreUniqueIgnoringCase) {
  TVSTParameters& all = host.Parameters();
  TVSTParameter* second = all.Add();
  TVSTParameter* third = all.Add();
  EXPECT_EQ(param->Name(), "param1");
  EXPECT_EQ(second->Name(), "param2");
  EXPECT_EQ(third->Name(), "param3");
  delete third;
  EXPECT_EQ(all.Add()->Name(), "param4");

  param->SetName("Gain");
  log.clear();
  param->SetName("GAIN"); // letter case only: stored, not reported
  EXPECT_EQ(param->Name(), "GAIN");
  EXPECT_TRUE(log.empty());
  try {
    second->SetName("gain");
    FAIL() << "duplicate accepted";
  } catch (const EGlowraspError& error) {
    EXPECT_STREQ(error.what(), "Duplicate parameter name 'gain' in TVSTParameters");
  }
  EXPECT_EQ(second->Name(), "param2");
  second->SetName("");
  param->SetName(""); // empty names never collide
  EXPECT_EQ(all.IndexOfName("param4"), 2);
  EXPECT_EQ(all.ParamByName("nothing"), nullptr);
}

TEST(ParameterCollection, DefaultNameCollisionDiscardsTheNewParameter) {
  TVSTParameterHost host(nullptr);
  host.Parameters().Add()->SetName("param2");
  EXPECT_THROW(host.Parameters().Add(), EGlowraspError);
  EXPECT_EQ(host.Parameters().Count(), 1);
}

TEST(ParameterHost, SettingsAndReports) {
  TVSTParameterHost host(nullptr);
  std::vector<std::uint8_t> kinds;
  struct TRecorder {
    std::vector<std::uint8_t>* Kinds;
    void Heard(void*, std::uint8_t Kind, std::int32_t) { Kinds->push_back(Kind); }
  } recorder{&kinds};
  host.Notifier().AddListener(&recorder, TGraphicNotifyEvent::Bind<&TRecorder::Heard>(&recorder));
  host.SetSampleRate(0); // equal to the stored 0: ignored
  host.SetSampleRate(44100);
  host.SetSampleRate(44100);
  host.SetBlockSize(512);
  EXPECT_EQ(kinds, (std::vector<std::uint8_t>{gnSampleRateChanged, gnBlockSizeChanged}));
  host.SetInChannelCount(1);
  host.SetOutChannelCount(8);
  EXPECT_EQ(host.InChannelCount(), 2);
  EXPECT_EQ(host.OutChannelCount(), 2);
  host.Notifier().RemoveListener(&recorder);
}
