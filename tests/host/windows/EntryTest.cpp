// What a Windows host relies on at the entry: one function under both names,
// and on 32-bit hosts the calling convention of every function the record
// hands out.
#include "HostTestSupport.h"
#include "StackCheck.h"

#include <bit>

namespace glowrasp::hosttest {
namespace {

TEST(WindowsEntry, MainAndVstPluginMainAreTheSameFunction) {
  void* main = Library()->symbol("main");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Library()->symbol("VSTPluginMain"), main);
}

#if defined(__i386__)

std::uint32_t Word(const void* pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

using CallingConvention = FreshRecord;

// The caller removes the arguments: a callee that removed them itself
// (stdcall) would leave a 32-bit host's stack off by their size.
TEST_F(CallingConvention, EveryFunctionLeavesTheArgumentsToTheCaller) {
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

TEST(WindowsEntry, MainLeavesTheArgumentToTheCaller) {
  const std::uint32_t callback = Word(reinterpret_cast<const void*>(&AnswerVersionOnly));
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
} // namespace glowrasp::hosttest
