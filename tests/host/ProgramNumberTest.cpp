// The plug-in has one program: effSetProgram ignores every other number,
// judged on the full pointer-wide value a host passes.
#include "HostTestSupport.h"

#include <cstdint>
#include <limits>

namespace glowrasp::hosttest {

TEST(Programs, NumbersOutsideTheProgramsAreIgnored) {
  const host::Plugin plugin(Library());
  ASSERT_EQ(plugin.effect().numPrograms, 1);
  // Wider than 32 bits where the pointer is; a 32-bit build keeps the low half.
  const auto wide = [](std::uint64_t bits) {
    return static_cast<VstIntPtr>(static_cast<std::uintptr_t>(bits));
  };
  const VstIntPtr numbers[] = {-1,
                               1,
                               5,
                               std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max(),
                               wide(0xffffffff00000001ULL), // -4294967295: 1 in its low half
                               wide(0x100000000ULL),
                               std::numeric_limits<VstIntPtr>::min(),
                               std::numeric_limits<VstIntPtr>::max()};
  for (const VstIntPtr number : numbers) {
    EXPECT_EQ(plugin.dispatch(effSetProgram, 0, number), 0);
    EXPECT_EQ(plugin.dispatch(effGetProgram), 0) << number;
  }
  plugin.dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(plugin.dispatch(effGetProgram), 0);
}

} // namespace glowrasp::hosttest
