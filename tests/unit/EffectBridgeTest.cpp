// The host-facing object over the component model: guards, automation and
// creation, seen through the record as a host sees them.
#include "base/Error.h"
#include "toolkit/MessageBox.h"
#include "vst/PluginFactory.h"
#include "vst/VSTEffectBase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> gBoxes;
void RecordBox(std::string_view text) {
  gBoxes.emplace_back(text);
}

struct THostLog {
  std::vector<VstInt32> Opcodes;
  std::vector<std::pair<VstInt32, float>> Automations;
  std::vector<float> ValueSeenByHost;
};
THostLog gHost;

VstIntPtr VSTCALLBACK HostCallback(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                                   float opt) {
  gHost.Opcodes.push_back(opcode);
  if (opcode == audioMasterVersion)
    return 2400;
  if (opcode == audioMasterAutomate) {
    gHost.Automations.emplace_back(index, opt);
    gHost.ValueSeenByHost.push_back(e->getParameter(e, index));
  }
  return 0;
}

class EffectBridge : public ::testing::Test {
protected:
  void SetUp() override {
    gBoxes.clear();
    gHost = {};
    SetMessageBoxHook(RecordBox);
  }
  void TearDown() override { SetMessageBoxHook(nullptr); }

  static TVSTEffectBase& Object(AEffect* e) {
    return *static_cast<TVSTEffectBase*>(AudioEffect::FromRecord(e));
  }
};

} // namespace

TEST_F(EffectBridge, EditorRequestReachesTheHostOnceAfterTheValueIsApplied) {
  AEffect* e = CreateEffectInstance(HostCallback);
  ASSERT_NE(e, nullptr);
  TVSTParameter* intensity = Object(e).ParamHost()->Parameters().Items(1);
  intensity->RequestValue(250000);
  ASSERT_EQ(gHost.Automations.size(), 1u);
  EXPECT_EQ(gHost.Automations[0], (std::pair<VstInt32, float>{1, 0.25f}));
  EXPECT_EQ(gHost.ValueSeenByHost[0], 0.25f);
  EXPECT_EQ(intensity->CurValue(), 250000);
  intensity->RequestValue(250000); // unchanged: the host hears nothing
  EXPECT_EQ(gHost.Automations.size(), 1u);
  EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
  EXPECT_TRUE(gBoxes.empty());
}

TEST_F(EffectBridge, ErrorsBecomeOneBoxAndANeutralAnswer) {
  AEffect* e = CreateEffectInstance(HostCallback);
  ASSERT_NE(e, nullptr);
  // A parameter the record still counts but the collection lost: every
  // parameter call fails inside.
  delete Object(e).ParamHost()->Parameters().Items(2);
  EXPECT_EQ(e->getParameter(e, 2), 0.0f);
  e->setParameter(e, 2, 0.5f);
  char text[64] = "untouched";
  EXPECT_EQ(e->dispatcher(e, effGetParamName, 2, 0, text, 0.0f), 0);
  EXPECT_EQ(gBoxes, (std::vector<std::string>{
                        "Exception during \"getParameterClass\": List index out of bounds (2)",
                        "Exception during \"setParameterClass\": List index out of bounds (2)",
                        "Exception during \"dispatchEffectClass\": List index out of bounds (2)",
                    }));
  EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
}

namespace {

// An effect object whose close fails, to see the instance survive it.
class TFailingClose : public TVSTEffectBase {
public:
  using TVSTEffectBase::TVSTEffectBase;
  void close() override {
    if (Fail)
      throw EGlowraspError("busy");
  }
  bool Fail = true;
};

} // namespace

TEST_F(EffectBridge, ErrorDuringCloseKeepsTheInstance) {
  auto module = std::make_unique<TEffParameters>();
  TVSTParameterHost* const host = module->ParamHost();
  TVSTEffect* const component = module->EffectProcessor();
  // Released by effClose, as an instance from main is.
  auto* object = new TFailingClose(HostCallback, std::move(module), host, component);
  AEffect* e = object->getAeffect();
  EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 0);
  ASSERT_EQ(gBoxes, (std::vector<std::string>{"Exception during \"dispatchEffectClass\": busy"}));
  EXPECT_EQ(e->getParameter(e, 1), 1.0f); // still alive
  object->Fail = false;
  EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
}

namespace {

int gModulesDestroyed = 0;

// A definition whose delay query fails while the effect object is built.
class TBrokenDefinition : public TEffParameters {
public:
  TBrokenDefinition() {
    EffectProcessor()->OnDelayGet = TVSTOnDelayGet::Bind<&TBrokenDefinition::Delay>(this);
  }
  ~TBrokenDefinition() override { ++gModulesDestroyed; }
  std::int32_t Delay() { throw EGlowraspError("no delay today"); }
};

std::unique_ptr<TEffParameters> MakeBroken() {
  return std::make_unique<TBrokenDefinition>();
}

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  gHost.Opcodes.push_back(opcode);
  return 0;
}

} // namespace

TEST_F(EffectBridge, CreationFailureShowsOneBoxAndReleasesTheModuleOnce) {
  gModulesDestroyed = 0;
  EXPECT_EQ(CreateEffectInstance(HostCallback, MakeBroken), nullptr);
  EXPECT_EQ(gBoxes, (std::vector<std::string>{"Exception during effect creation: no delay today"}));
  EXPECT_EQ(gModulesDestroyed, 1);
}

TEST_F(EffectBridge, HostAnsweringVersionZeroGetsNothing) {
  gModulesDestroyed = 0;
  EXPECT_EQ(CreateEffectInstance(SilentHost, MakeBroken), nullptr);
  EXPECT_EQ(gHost.Opcodes, (std::vector<VstInt32>{audioMasterVersion}));
  EXPECT_TRUE(gBoxes.empty());
  EXPECT_EQ(gModulesDestroyed, 0);
}

TEST_F(EffectBridge, HostQueriesOfTheBaseObject) {
  AEffect* e = CreateEffectInstance(HostCallback);
  AudioEffect& object = Object(e);
  EXPECT_EQ(object.getMasterVersion(), 2400);
  EXPECT_EQ(object.getCurrentUniqueId(), 0);
  EXPECT_TRUE(object.isInputConnected(0));
  EXPECT_TRUE(object.isOutputConnected(1));
  object.masterIdle();
  object.canMono(false);
  EXPECT_EQ(e->flags, 17);
  object.canMono(true);
  EXPECT_EQ(e->flags, 25);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}
