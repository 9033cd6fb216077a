// CLAP's two threads on one instance: the audio thread processes blocks with
// parameter changes while the main thread reads values and texts and saves
// and loads the state, as hosts do during playback; and a third thread, which
// the host names neither, gets no main-thread call through. Run under
// ThreadSanitizer by `make test`; here it checks that nothing breaks.
#include "ClapTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace glowrasp::clap_test {
namespace {

TEST(ClapThreads, MainThreadCallsWhileTheAudioThreadProcesses) {
  const auto host = NewPlugin();
  std::atomic<bool> stop{false};
  std::atomic<bool> finite{true};
  std::thread audio([&] {
    std::vector<float> l = LoudNoise(256, 7), r = LoudNoise(256, 8), outL(256), outR(256);
    for (std::uint32_t block = 0; !stop.load(); ++block) {
      TInputEvents events;
      events.AddParamValue(block % 256, block % 3, (block % 2 ? 20.0 : 40.0));
      events.AddParamValue(100, kBypassId, block % 5 == 0 ? 1.0 : 0.0);
      host->ProcessStereo(l.data(), r.data(), outL.data(), outR.data(), 256, &events);
      if (!std::isfinite(outL[0]) || !std::isfinite(outR[255]))
        finite = false;
    }
  });
  const std::vector<std::uint8_t> saved = *host->SaveState();
  for (int round = 0; round < 200; ++round) {
    for (clap_id id : {kGainId, kIntensityId, kOutGainId, kBypassId}) {
      const auto value = host->Value(id);
      ASSERT_TRUE(value);
      EXPECT_TRUE(host->ValueText(id, *value));
    }
    EXPECT_TRUE(host->SaveState());
    EXPECT_TRUE(host->LoadState(saved));
  }
  stop = true;
  audio.join();
  EXPECT_TRUE(finite);
}

// The refusals are told in the log from the main thread, once the host
// calls back there.
TEST(ClapThreads, MainThreadCallsFromAnotherThreadAreRefused) {
  const auto host = NewPlugin();
  std::optional<double> value = 0.0;
  std::optional<std::vector<std::uint8_t>> state;
  std::thread([&] {
    value = host->Value(kGainId);
    state = host->SaveState();
  }).join();
  EXPECT_FALSE(value);
  EXPECT_FALSE(state);
  EXPECT_TRUE(host->TakeMisbehaviours().empty());
  host->RunEventLoopOnce();
  EXPECT_EQ(host->TakeMisbehaviours(),
            (std::vector<std::string>{"clap_plugin_params called off the main thread; refused",
                                      "clap_plugin_state called off the main thread; refused"}));
}

} // namespace
} // namespace glowrasp::clap_test
