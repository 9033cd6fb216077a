#include "params/VSTEffect.h"
#include "params/VSTParameterHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

// An effect component wired to a recorder, as an effect definition wires it.
class EffectComponent : public ::testing::Test {
protected:
  void SetUp() override {
    effect = std::make_unique<TVSTEffect>(nullptr);
    effect->BeginLoading();
    effect->SetVSTParamHost(&host);
    using T = EffectComponent;
    effect->OnProcessM2M = TVSTEffectOnProcess::Bind<&T::ProcessM2M>(this);
    effect->OnProcessS2S = TVSTEffectOnProcess::Bind<&T::ProcessS2S>(this);
    effect->OnProcessS2Sm = TVSTEffectOnProcess::Bind<&T::ProcessS2Sm>(this);
    effect->OnCreate = TNotifyEvent::Bind<&T::Create>(this);
    effect->OnDestroy = TNotifyEvent::Bind<&T::Destroy>(this);
    effect->OnNewSamplingFrequency = TNotifyEvent::Bind<&T::NewRate>(this);
    effect->OnNewBlockSize = TNotifyEvent::Bind<&T::NewBlock>(this);
    effect->OnClear = TNotifyEvent::Bind<&T::Clear>(this);
    effect->EndLoading();
  }

  void ProcessM2M(TVSTEffect*, PVSTEffectOnProcessRecord r) { Record("m2m", r); }
  void ProcessS2S(TVSTEffect*, PVSTEffectOnProcessRecord r) { Record("s2s", r); }
  void ProcessS2Sm(TVSTEffect*, PVSTEffectOnProcessRecord r) { Record("s2sm", r); }
  void Record(const char* what, PVSTEffectOnProcessRecord r) {
    log.push_back(std::string(what) + " " + std::to_string(r->Replacing));
  }
  void Create(TComponent*) {
    if (failingCreates > 0) {
      --failingCreates;
      throw std::bad_alloc();
    }
    log.push_back("create");
  }
  void Destroy(TComponent*) { log.push_back("destroy"); }
  void NewRate(TComponent*) { log.push_back("rate"); }
  void NewBlock(TComponent*) { log.push_back("block"); }
  void Clear(TComponent*) { log.push_back("clear"); }

  void ProcessAll() {
    TVSTEffectOnProcessRecord record{};
    record.Replacing = -1;
    effect->ProcessS2S(&record);
    effect->ProcessS2Sm(&record);
    effect->Clear();
  }

  TVSTParameterHost host{nullptr};
  std::vector<std::string> log;
  int failingCreates = 0;
  std::unique_ptr<TVSTEffect> effect; // goes first: its OnDestroy still writes to the log
};

using Log = std::vector<std::string>;

} // namespace

TEST_F(EffectComponent, CreatedOnlyOnceBothReportsArrived) {
  ProcessAll();
  EXPECT_EQ(effect->CreateEditor(nullptr), nullptr);
  host.SetBlockSize(256);
  ProcessAll();
  EXPECT_TRUE(log.empty());
  host.SetSampleRate(48000); // completes the pair: create, not a rate change
  EXPECT_EQ(log, (Log{"create"}));
  log.clear();
  host.SetSampleRate(48000);
  host.SetSampleRate(44100);
  host.SetBlockSize(64);
  ProcessAll();
  EXPECT_EQ(log, (Log{"rate", "block", "s2s -1", "s2sm -1", "clear"}));
}

// An allocation failure while the processor is built: the error reaches the
// caller, nothing runs until a later report creates the processor after all,
// and the instance's registrations can still change from another thread.
TEST_F(EffectComponent, FailedCreationIsRetriedByTheNextReport) {
  failingCreates = 1;
  host.SetBlockSize(256);
  EXPECT_THROW(host.SetSampleRate(48000), std::bad_alloc);
  EXPECT_FALSE(effect->Created());
  ProcessAll();
  EXPECT_EQ(effect->CreateEditor(nullptr), nullptr);
  EXPECT_TRUE(log.empty());

  host.SetBlockSize(512); // tries again: create, not a block-size change
  EXPECT_TRUE(effect->Created());
  ProcessAll();
  EXPECT_EQ(log, (Log{"create", "s2s -1", "s2sm -1", "clear"}));

  TVSTParameterHost other{nullptr};
  std::thread([&] { effect->SetVSTParamHost(&other); }).join();
  EXPECT_EQ(effect->VSTParamHost(), &other);
}

TEST_F(EffectComponent, DetachedWhenTheParameterHostGoes) {
  host.SetSampleRate(44100);
  host.SetBlockSize(512);
  auto other = std::make_unique<TVSTParameterHost>(nullptr);
  effect->SetVSTParamHost(other.get());
  other.reset();
  log.clear();
  ProcessAll();
  EXPECT_TRUE(effect->Created());
  EXPECT_TRUE(log.empty());
}

TEST_F(EffectComponent, DestroyFiresEvenWithoutCreate) {
  effect.reset();
  EXPECT_EQ(log, (Log{"destroy"}));
}

TEST_F(EffectComponent, DelayIsAnsweredBeforeCreation) {
  EXPECT_EQ(effect->GetDelay(), 0);
  struct TDelay {
    std::int32_t Get() { return 6; }
  } delay;
  effect->OnDelayGet = TVSTOnDelayGet::Bind<&TDelay::Get>(&delay);
  EXPECT_EQ(effect->GetDelay(), 6);
}
