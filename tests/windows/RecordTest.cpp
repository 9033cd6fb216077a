// What a Windows host sees right after main: the entry under both names, the
// record's raw bytes, and on 32-bit hosts the calling convention of every
// function the record hands out.
#include "WinTestHost.h"

#include <array>
#include <bit>
#include <cstring>

namespace glowrasp::wintest {
namespace {

VstIntPtr VSTCALLBACK VersionOnly(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// A fresh record as main returns it, before the host writes to it.
class Record : public ::testing::Test {
protected:
  void SetUp() override {
    effect = Library()->entry()(&VersionOnly);
    ASSERT_NE(effect, nullptr);
  }
  void TearDown() override {
    if (effect) {
      EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
    }
  }

  template <class T>
  T At(std::size_t offset) const {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(effect) + offset, sizeof value);
    return value;
  }

  AEffect* effect = nullptr;
};

TEST(Entry, MainAndVstPluginMainAreTheSameFunction) {
  const HMODULE module = ModuleOf(reinterpret_cast<const void*>(Library()->entry()));
  ASSERT_NE(module, nullptr);
  const FARPROC main = GetProcAddress(module, "main");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(GetProcAddress(module, "VSTPluginMain"), main);
}

constexpr std::size_t kPointer = sizeof(void*);

TEST_F(Record, FieldsSitAtTheirOffsets) {
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
  EXPECT_EQ(effect->magic, 0x56737450);
  EXPECT_EQ(effect->flags, 25);
  EXPECT_EQ(effect->uniqueID, 0x4B475231); // "KGR1"
  EXPECT_EQ(effect->user, nullptr);
  EXPECT_NE(effect->object, nullptr);
  EXPECT_EQ(effect->ioRatio, 1.0f);
}

TEST_F(Record, EntryPointsLiveInThePlugIn) {
  const HMODULE plugin = ModuleOf(reinterpret_cast<const void*>(Library()->entry()));
  ASSERT_NE(plugin, nullptr);
  const void* entries[] = {
      reinterpret_cast<const void*>(effect->dispatcher),
      reinterpret_cast<const void*>(effect->process),
      reinterpret_cast<const void*>(effect->setParameter),
      reinterpret_cast<const void*>(effect->getParameter),
      reinterpret_cast<const void*>(effect->processReplacing),
  };
  for (const void* entry : entries)
    EXPECT_EQ(ModuleOf(entry), plugin);
}

#if defined(__i386__)

std::uint32_t Word(const void* pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

// The caller removes the arguments: a callee that removed them itself
// (stdcall) would leave a 32-bit host's stack off by their size.
TEST_F(Record, EveryFunctionLeavesTheArgumentsToTheCaller) {
  std::array<float, 16> in{0.25f};
  std::array<float, 16> out1{};
  std::array<float, 16> out2{};
  std::array<float*, 2> inputs{in.data(), in.data()};
  std::array<float*, 2> outputs{out1.data(), out2.data()};
  effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, 16, nullptr, 0.0f);
  const std::uint32_t record = Word(effect);
  const struct {
    const char* Name;
    const void* Function;
    std::vector<std::uint32_t> Arguments;
    bool ReturnsFloat;
  } calls[] = {
      {"dispatcher",
       reinterpret_cast<const void*>(effect->dispatcher),
       {record, effIdentify, 0, 0, 0, 0},
       false},
      {"setParameter",
       reinterpret_cast<const void*>(effect->setParameter),
       {record, 1, std::bit_cast<std::uint32_t>(0.25f)},
       false},
      {"getParameter", reinterpret_cast<const void*>(effect->getParameter), {record, 1}, true},
      {"process",
       reinterpret_cast<const void*>(effect->process),
       {record, Word(inputs.data()), Word(outputs.data()), 16},
       false},
      {"processReplacing",
       reinterpret_cast<const void*>(effect->processReplacing),
       {record, Word(inputs.data()), Word(outputs.data()), 16},
       false},
  };
  for (const auto& call : calls) {
    std::uint32_t result = 0;
    EXPECT_EQ(GlowraspCalleePoppedBytes(call.Function, call.Arguments.data(),
                                        static_cast<int>(call.Arguments.size()), call.ReturnsFloat,
                                        &result),
              0)
        << call.Name;
    if (call.Function == reinterpret_cast<const void*>(effect->dispatcher)) {
      EXPECT_EQ(result, 0x4E764566u) << "effIdentify through the stack check";
    }
    if (call.ReturnsFloat) {
      EXPECT_EQ(std::bit_cast<float>(result), 0.25f) << "getParameter through the stack check";
    }
  }
}

TEST(Entry, MainLeavesTheArgumentToTheCaller) {
  const std::uint32_t callback = Word(reinterpret_cast<const void*>(&VersionOnly));
  std::uint32_t result = 0;
  EXPECT_EQ(GlowraspCalleePoppedBytes(reinterpret_cast<const void*>(Library()->entry()), &callback,
                                      1, 0, &result),
            0);
  auto* effect = reinterpret_cast<AEffect*>(static_cast<std::uintptr_t>(result));
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->magic, 0x56737450);
  EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}

#endif

} // namespace
} // namespace glowrasp::wintest
