// What a host sees right after main: the entries, the record's bytes and
// fields, and the record's life in a host's hands.
#include "HostTestSupport.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace glowrasp::hosttest {
namespace {

// main called directly, with a host that answers the version it is given and
// notes every opcode it is asked.
class Entry : public ::testing::Test {
protected:
  static AEffect* CallMain(VstPluginMainProc entry, VstIntPtr version) {
    VersionAnswer = version;
    Asked.clear();
    return entry(&Callback);
  }

  static inline VstIntPtr VersionAnswer = host::kHostVersion;
  static inline std::vector<VstInt32> Asked;

private:
  static VstIntPtr VSTCALLBACK Callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                        float) {
    Asked.push_back(opcode);
    return opcode == audioMasterVersion ? VersionAnswer : 0;
  }
};

TEST_F(Entry, BothNamesMakeWorkingInstances) {
  for (const char* name : {"main", "VSTPluginMain"}) {
    const auto entry = reinterpret_cast<VstPluginMainProc>(Library()->symbol(name));
    ASSERT_NE(entry, nullptr) << name;
    AEffect* effect = CallMain(entry, host::kHostVersion);
    ASSERT_NE(effect, nullptr) << name;
    EXPECT_EQ(effect->magic, 0x56737450) << name;
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1) << name;
  }
}

TEST_F(Entry, HostVersionDecidesWhetherAnInstanceIsMade) {
  const struct {
    VstIntPtr Version;
    bool Created;
  } cases[] = {{0, false}, {1, true}, {2400, true}, {-1, true}};
  for (const auto& c : cases) {
    AEffect* effect = CallMain(Library()->entry(), c.Version);
    EXPECT_EQ(effect != nullptr, c.Created) << c.Version;
    ASSERT_FALSE(Asked.empty()) << c.Version;
    EXPECT_EQ(Asked.front(), audioMasterVersion);
    if (effect) {
      EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
    }
  }
}

TEST_F(Entry, CloseAnswersOneAndOnlyTheVersionIsAsked) {
  AEffect* effect = CallMain(Library()->entry(), host::kHostVersion);
  ASSERT_NE(effect, nullptr);
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
  for (VstInt32 opcode : Asked)
    EXPECT_EQ(opcode, audioMasterVersion);
}

// The record's bytes as a host of either width reads them.
class Record : public FreshRecord {
protected:
  template <class T>
  T At(std::size_t offset) const {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(effect) + offset, sizeof value);
    return value;
  }
};

constexpr std::size_t kPointer = sizeof(void*);

TEST_F(Record, FieldsAsHostsReadThem) {
  if (kPointer == 4) {
    // The 32-bit record byte for byte: every pointer and the future block
    // take 4 bytes each, 144 in all.
    const struct {
      std::size_t Offset;
      std::uint32_t Value;
    } words[] = {
        {0, 0x56737450}, {20, 1},          {24, 3}, {28, 2},
        {32, 2},         {36, 25},         {40, 0}, {44, 0},
        {48, 6},         {52, 0},          {56, 0}, {60, std::bit_cast<std::uint32_t>(1.0f)},
        {68, 0},         {72, 0x4B475231}, {76, 1},
    };
    for (const auto& w : words)
      EXPECT_EQ(At<std::uint32_t>(w.Offset), w.Value) << "offset " << w.Offset;
    EXPECT_EQ(At<std::uint32_t>(64), reinterpret_cast<std::uintptr_t>(effect->object));
    for (std::size_t offset : {4u, 8u, 12u, 16u, 80u})
      EXPECT_NE(At<std::uint32_t>(offset), 0u) << "offset " << offset;
    for (std::size_t offset = 84; offset < 144; ++offset)
      EXPECT_EQ(At<std::uint8_t>(offset), 0) << "offset " << offset;
  }
  EXPECT_EQ(sizeof(AEffect), kPointer == 4 ? 144u : 192u);
  EXPECT_EQ(std::memcmp(effect, "PtsV", 4), 0); // "VstP", most significant byte first
  EXPECT_EQ(effect->magic, 0x56737450);
  EXPECT_EQ(effect->numPrograms, 1);
  EXPECT_EQ(effect->numParams, 3);
  EXPECT_EQ(effect->numInputs, 2);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(effect->flags, 25);
  EXPECT_EQ(effect->resvd1, 0);
  EXPECT_EQ(effect->resvd2, 0);
  EXPECT_EQ(effect->initialDelay, 6);
  EXPECT_EQ(effect->realQualities, 0);
  EXPECT_EQ(effect->offQualities, 0);
  EXPECT_EQ(effect->ioRatio, 1.0f);
  EXPECT_NE(effect->object, nullptr);
  EXPECT_EQ(effect->user, nullptr);
  EXPECT_EQ(effect->uniqueID, 0x4B475231); // "KGR1"
  EXPECT_EQ(effect->version, 1);
  for (unsigned char b : effect->future)
    EXPECT_EQ(b, 0);
}

TEST_F(Record, EntryPointsLiveInThePlugIn) {
  const void* entries[] = {
      reinterpret_cast<const void*>(effect->dispatcher),
      reinterpret_cast<const void*>(effect->process),
      reinterpret_cast<const void*>(effect->setParameter),
      reinterpret_cast<const void*>(effect->getParameter),
      reinterpret_cast<const void*>(effect->processReplacing),
  };
  for (const void* entry : entries) {
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(Library()->contains(entry));
  }
  EXPECT_FALSE(Library()->contains(reinterpret_cast<const void*>(&AnswerVersionOnly)));
}

TEST(HostedRecord, HostPointersInReservedFieldsSurvive) {
  host::Plugin plugin(Library());
  AEffect& effect = plugin.effect();
  effect.resvd1 = 0x1234;
  effect.resvd2 = -7;
  plugin.setSampleRate(44100.0f);
  plugin.setBlockSize(512);
  plugin.resume();
  float in[16] = {}, out[16] = {};
  float* ins[] = {in, in + 8};
  float* outs[] = {out, out + 8};
  plugin.setParameter(host::kGain, 0.7f);
  plugin.processReplacing(ins, outs, 8);
  plugin.suspend();
  EXPECT_EQ(effect.resvd1, 0x1234);
  EXPECT_EQ(effect.resvd2, -7);
}

TEST(HostedRecord, InstancesAreIndependent) {
  auto a = std::make_unique<host::Plugin>(Library());
  host::Plugin b(Library());
  ASSERT_NE(&a->effect(), &b.effect());
  ASSERT_NE(a->effect().object, b.effect().object);
  a->setParameter(host::kGain, 0.25f);
  EXPECT_EQ(a->getParameter(host::kGain), 0.25f);
  EXPECT_EQ(b.getParameter(host::kGain), 0.5f);
  char name[64] = "Lead";
  a->dispatch(effSetProgramName, 0, 0, name);
  EXPECT_EQ(Text(b, effGetProgramName), "Default");
  a.reset();
  EXPECT_EQ(b.getParameter(host::kGain), 0.5f);
  EXPECT_EQ(Text(b, effGetParamDisplay, host::kGain), WithUserSeparator("0.0"));
}

} // namespace
} // namespace glowrasp::hosttest
