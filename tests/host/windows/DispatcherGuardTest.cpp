// The dispatcher's guard under a Windows host: an error inside a call shows
// one message box and the host gets a neutral answer.
#include "HostTestSupport.h"

#include <cstdint>

namespace glowrasp::hosttest {
namespace {

// The editor's window cannot be made in a window that does not exist.
TEST(DispatcherGuard, ShowsTheErrorOnceAndAnswersZero) {
  host::Plugin plugin(Library());
  TMessageRecording messages(plugin);
  plugin.setSampleRate(44100.0f);
  plugin.setBlockSize(512);
  const auto notAWindow = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x7ff0));
  EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, notAWindow), 0);
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0].rfind("Exception during \"dispatchEffectClass\": ", 0), 0u)
      << messages.Texts()[0];
}

} // namespace
} // namespace glowrasp::hosttest
