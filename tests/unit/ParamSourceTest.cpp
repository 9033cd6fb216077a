// Sources find their parameter by name through a proxy, follow it through
// renames and losses, and tell their controls when the binding changes.
#include "params/VSTParameterSource.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct TKindLog {
  std::vector<std::uint8_t> Kinds;
  std::vector<std::int32_t> Values;

  void Notify(void*, std::uint8_t Kind, std::int32_t Value) {
    Kinds.push_back(Kind);
    Values.push_back(Value);
  }
  void Listen(TGraphicNotifyHost& notifier) {
    notifier.AddListener(this, TGraphicNotifyEvent::Bind<&TKindLog::Notify>(this));
  }
  void Clear() {
    Kinds.clear();
    Values.clear();
  }
};

using TKinds = std::vector<std::uint8_t>;

// A host with "Gain" and "Intensity", a proxy and a source that names "gain".
class ParamSourceTest : public testing::Test {
protected:
  ParamSourceTest() {
    for (const char* name : {"Gain", "Intensity"})
      Host->Parameters().Add()->SetName(name);
    Gain()->SetMaxValue(1000);
    Source->SetProxy(Proxy.get());
    Source->SetVSTParamName("gain");
    SourceLog.Listen(Source->Notifier());
  }
  ~ParamSourceTest() override {
    if (Source)
      Source->Notifier().RemoveListener(&SourceLog);
  }

  TVSTParameter* Gain() const { return Host->Parameters().ParamByName("Gain"); }

  std::unique_ptr<TVSTParameterHost> Host = std::make_unique<TVSTParameterHost>(nullptr);
  std::unique_ptr<TVSTParameterHostProxy> Proxy = std::make_unique<TVSTParameterHostProxy>(nullptr);
  std::unique_ptr<TVSTParameterSource> Source = std::make_unique<TVSTParameterSource>(nullptr);
  TKindLog SourceLog;
};

TEST_F(ParamSourceTest, BindsByNameIgnoringCaseOnceTheProxyHasAHost) {
  EXPECT_EQ(Source->Parameter(), nullptr);
  Proxy->SetHost(Host.get());
  EXPECT_EQ(Source->Parameter(), Gain());
  EXPECT_EQ(SourceLog.Kinds, (TKinds{gnSourceChanged}));

  SourceLog.Clear();
  Source->SetVSTParamName("GAIN");
  EXPECT_EQ(Source->VSTParamName(), "GAIN");
  EXPECT_EQ(Source->Parameter(), Gain());
  EXPECT_TRUE(SourceLog.Kinds.empty()) << "a new letter case rebound";

  Proxy->SetHost(Host.get());
  EXPECT_TRUE(SourceLog.Kinds.empty()) << "the same host again rebound";
}

TEST_F(ParamSourceTest, ClearingTheHostUnbindsAndOnlyBoundSourcesTell) {
  TVSTParameterSource unknown(nullptr);
  unknown.SetProxy(Proxy.get());
  unknown.SetVSTParamName("Nothing");
  TKindLog unknownLog;
  unknownLog.Listen(unknown.Notifier());
  TKindLog proxyLog;
  proxyLog.Listen(Proxy->Notifier());

  Proxy->SetHost(Host.get());
  Proxy->SetHost(nullptr);
  EXPECT_EQ(Source->Parameter(), nullptr);
  EXPECT_EQ(SourceLog.Kinds, (TKinds{gnSourceChanged, gnSourceChanged}));
  EXPECT_TRUE(unknownLog.Kinds.empty());
  EXPECT_EQ(proxyLog.Kinds, (TKinds{gnHostChanged, gnHostChanged}));
  EXPECT_EQ(Host->Notifier().Count(), 0u);
  Proxy->Notifier().RemoveListener(&proxyLog);
  unknown.Notifier().RemoveListener(&unknownLog);
}

TEST_F(ParamSourceTest, AnotherProxyRebindsEvenToTheSameParameter) {
  Proxy->SetHost(Host.get());
  TVSTParameterHostProxy other(nullptr);
  other.SetHost(Host.get());
  SourceLog.Clear();
  Source->SetProxy(&other);
  EXPECT_EQ(Source->Parameter(), Gain());
  EXPECT_EQ(SourceLog.Kinds, (TKinds{gnSourceChanged}));
  EXPECT_EQ(Proxy->Notifier().Count(), 0u);
  Source->SetProxy(nullptr);
}

TEST_F(ParamSourceTest, RenamedParameterKeepsItsSource) {
  Proxy->SetHost(Host.get());
  TVSTParameter* gain = Gain();
  SourceLog.Clear();
  gain->SetName("Drive");
  EXPECT_EQ(Source->VSTParamName(), "Drive");
  EXPECT_EQ(Source->Parameter(), gain);
  EXPECT_TRUE(SourceLog.Kinds.empty());
}

// Value changes are not broadcast (controls poll the change count), so
// setting a value on the audio thread never runs a listener.
TEST_F(ParamSourceTest, ForwardsRangesUnlessLoading) {
  Proxy->SetHost(Host.get());
  TVSTParameter* gain = Gain();
  SourceLog.Clear();
  gain->SetCurValue(10);
  gain->SetMaxValue(900);
  EXPECT_EQ(SourceLog.Kinds, (TKinds{gnRangeChanged}));
  EXPECT_EQ(SourceLog.Values, (std::vector<std::int32_t>{0})) << "the parameter's index";

  SourceLog.Clear();
  Source->BeginLoading();
  gain->SetCurValue(20);
  gain->SetMaxValue(800);
  Proxy->SetHost(nullptr);
  EXPECT_EQ(SourceLog.Kinds, (TKinds{gnSourceChanged})) << "binding changes still pass";
  Proxy->SetHost(Host.get());
  Source->EndLoading();
  SourceLog.Clear();
  gain->SetMaxValue(700);
  EXPECT_EQ(SourceLog.Kinds, (TKinds{gnRangeChanged}));
}

TEST_F(ParamSourceTest, DestroyedParameterLeavesTheSourceUnboundUntilARebind) {
  Proxy->SetHost(Host.get());
  SourceLog.Clear();
  delete Gain();
  EXPECT_EQ(Source->Parameter(), nullptr);
  EXPECT_EQ(SourceLog.Kinds, (TKinds{gnSourceChanged}));

  Host->Parameters().Add()->SetName("Gain");
  Source->SetVSTParamName("Gain"); // only the letter case differs: no rebind
  EXPECT_EQ(Source->Parameter(), nullptr);
  Proxy->SetHost(nullptr);
  Proxy->SetHost(Host.get());
  EXPECT_EQ(Source->Parameter(), Gain());
}

TEST_F(ParamSourceTest, LosingHostOrProxyUnbinds) {
  Proxy->SetHost(Host.get());
  SourceLog.Clear();
  Host.reset();
  EXPECT_EQ(Proxy->Host(), nullptr);
  EXPECT_EQ(Source->Parameter(), nullptr);
  EXPECT_EQ(SourceLog.Kinds, (TKinds{gnSourceChanged}));

  SourceLog.Clear();
  Proxy.reset();
  EXPECT_EQ(Source->Proxy(), nullptr);
  EXPECT_TRUE(SourceLog.Kinds.empty()) << "unbound to unbound tells nothing";
}

TEST_F(ParamSourceTest, DestroyedSourceLeavesNoListenerBehind) {
  Proxy->SetHost(Host.get());
  TKindLog controlLog;
  controlLog.Listen(Source->Notifier());
  Source->Notifier().RemoveListener(&SourceLog);
  Source.reset();
  EXPECT_EQ(controlLog.Kinds, (TKinds{gnDestroying}));
  EXPECT_EQ(Gain()->Notifier().Count(), 0u);
  EXPECT_EQ(Proxy->Notifier().Count(), 0u);
}

} // namespace
