// A careless host: calls on the wrong thread or in the wrong state are
// refused, and each kind of misbehaviour reaches the host's log once, from
// the main thread, however often the host repeats it.
#include "ClapTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace glowrasp::clap_test {
namespace {

#ifdef _WIN32
constexpr const char* kWindowApi = CLAP_WINDOW_API_WIN32;
#else
constexpr const char* kWindowApi = CLAP_WINDOW_API_X11;
#endif

enum TLifecycle { lInactive, lActive, lProcessing };

struct TCarelessCase {
  const char* Name;
  TLifecycle Lifecycle;
  // Makes the careless call; answers whether it was refused, where that shows.
  std::function<bool(TClapHost&)> Break;
  const char* Reported; // the start of the log line
};

void PrintTo(const TCarelessCase& c, std::ostream* os) {
  *os << c.Name;
}

std::unique_ptr<TClapHost> PluginIn(TLifecycle lifecycle) {
  auto host = NewPlugin(false);
  if (lifecycle != lInactive) {
    EXPECT_TRUE(host->Activate(44100.0, 1, 4096));
  }
  if (lifecycle == lProcessing) {
    EXPECT_TRUE(host->StartProcessing());
  }
  return host;
}

// A block through the plug-in; its outputs keep their sentinel when refused.
bool ProcessRefused(TClapHost& host) {
  std::vector<float> in(64, 0.25f), l(64, 7.0f), r(64, 7.0f);
  const clap_process_status status =
      host.ProcessStereo(in.data(), in.data(), l.data(), r.data(), 64);
  return status == CLAP_PROCESS_ERROR && l[0] == 7.0f && r[63] == 7.0f;
}

bool GainSetBy(TClapHost& host, const std::function<void(const clap_input_events_t*)>& flush) {
  TInputEvents events;
  events.AddParamValue(0, kGainId, 24.0);
  flush(events.List());
  return host.Value(kGainId) == 24.0;
}

const clap_plugin_params_t& Params(TClapHost& host) {
  return *host.Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
}

const clap_plugin_t* P(TClapHost& host) {
  return host.Plugin();
}

class TClapCarelessHostTest : public ::testing::TestWithParam<TCarelessCase> {};

TEST_P(TClapCarelessHostTest, IsRefusedAndReportedOnce) {
  const TCarelessCase& c = GetParam();
  const auto host = PluginIn(c.Lifecycle);
  for (int attempt = 0; attempt < 3; ++attempt)
    EXPECT_TRUE(c.Break(*host)) << "attempt " << attempt;
  // What other threads found waits for the main thread's callback.
  host->RunEventLoopOnce();
  const std::vector<std::string> reported = host->TakeMisbehaviours();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0].rfind(c.Reported, 0), 0u) << reported[0];
}

INSTANTIATE_TEST_SUITE_P(
    Calls, TClapCarelessHostTest,
    ::testing::Values(
        TCarelessCase{"init_twice", lInactive, [](TClapHost& h) { return !P(h)->init(P(h)); },
                      "clap_plugin.init() called twice"},
        TCarelessCase{"activate_twice", lActive,
                      [](TClapHost& h) { return !P(h)->activate(P(h), 48000.0, 1, 4096); },
                      "clap_plugin.activate() called while already active"},
        TCarelessCase{"activate_off_the_main_thread", lInactive,
                      [](TClapHost& h) {
                        bool activated = true;
                        h.OnAudioThread([&] { activated = P(h)->activate(P(h), 48000, 1, 64); });
                        return !activated;
                      },
                      "clap_plugin.activate() called off the main thread"},
        TCarelessCase{"deactivate_while_inactive", lInactive,
                      [](TClapHost& h) {
                        P(h)->deactivate(P(h));
                        return h.Activate(44100.0, 1, 64) && (h.Deactivate(), true);
                      },
                      "clap_plugin.deactivate() called while not active"},
        TCarelessCase{"deactivate_off_the_main_thread", lActive,
                      [](TClapHost& h) {
                        h.OnAudioThread([&] { P(h)->deactivate(P(h)); });
                        // Still active: processing may start.
                        return h.StartProcessing() && (h.StopProcessing(), true);
                      },
                      "clap_plugin.deactivate() called off the main thread"},
        TCarelessCase{"start_processing_while_inactive", lInactive,
                      [](TClapHost& h) { return !h.StartProcessing(); },
                      "clap_plugin.start_processing() called while not active"},
        TCarelessCase{"start_processing_twice", lProcessing,
                      [](TClapHost& h) {
                        bool started = true;
                        h.OnAudioThread([&] { started = P(h)->start_processing(P(h)); });
                        return !started;
                      },
                      "clap_plugin.start_processing() called while already processing"},
        TCarelessCase{"start_processing_off_the_audio_thread", lActive,
                      [](TClapHost& h) { return !P(h)->start_processing(P(h)); },
                      "clap_plugin.start_processing() called off the audio thread"},
        TCarelessCase{"stop_processing_while_stopped", lActive,
                      [](TClapHost& h) {
                        h.OnAudioThread([&] { P(h)->stop_processing(P(h)); });
                        return h.StartProcessing() && !ProcessRefused(h) &&
                               (h.StopProcessing(), true);
                      },
                      "clap_plugin.stop_processing() called while not processing"},
        TCarelessCase{"stop_processing_off_the_audio_thread", lProcessing,
                      [](TClapHost& h) {
                        P(h)->stop_processing(P(h));
                        return !ProcessRefused(h);
                      },
                      "clap_plugin.stop_processing() called off the audio thread"},
        TCarelessCase{"reset_while_inactive", lInactive,
                      [](TClapHost& h) {
                        h.Reset();
                        return true;
                      },
                      "clap_plugin.reset() called while not active"},
        TCarelessCase{"process_while_inactive", lInactive, &ProcessRefused,
                      "clap_plugin.process() called while not active"},
        TCarelessCase{"process_while_not_processing", lActive, &ProcessRefused,
                      "clap_plugin.process() called while not processing"},
        TCarelessCase{"process_off_the_audio_thread", lProcessing,
                      [](TClapHost& h) {
                        clap_process_t process{};
                        return P(h)->process(P(h), &process) == CLAP_PROCESS_ERROR;
                      },
                      "clap_plugin.process() called off the audio thread"},
        TCarelessCase{"flush_off_the_audio_thread_while_active", lActive,
                      [](TClapHost& h) {
                        return !GainSetBy(h, [&](const clap_input_events_t* in) {
                          Params(h).flush(P(h), in, nullptr);
                        });
                      },
                      "clap_plugin_params.flush() called off the audio thread while active"},
        TCarelessCase{"flush_off_the_main_thread_while_inactive", lInactive,
                      [](TClapHost& h) {
                        return !GainSetBy(h, [&](const clap_input_events_t* in) {
                          h.OnAudioThread([&] { Params(h).flush(P(h), in, nullptr); });
                        });
                      },
                      "clap_plugin_params.flush() called off the main thread while not active"},
        TCarelessCase{"params_off_the_main_thread", lProcessing,
                      [](TClapHost& h) {
                        bool refused = false;
                        h.OnAudioThread([&] {
                          refused = !h.Value(kGainId) && Params(h).count(P(h)) == 0 &&
                                    !h.ValueText(kGainId, 0.0) && !h.TextValue(kGainId, "1");
                        });
                        return refused;
                      },
                      "clap_plugin_params called off the main thread"},
        TCarelessCase{"state_off_the_main_thread", lProcessing,
                      [](TClapHost& h) {
                        const auto saved = h.SaveState();
                        bool refused = false;
                        h.OnAudioThread([&] { refused = !h.SaveState() && !h.LoadState(*saved); });
                        return refused;
                      },
                      "clap_plugin_state called off the main thread"},
        TCarelessCase{"audio_ports_off_the_main_thread", lInactive,
                      [](TClapHost& h) {
                        const auto* ports =
                            h.Extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
                        clap_audio_port_info_t port{};
                        bool refused = false;
                        h.OnAudioThread([&] {
                          refused =
                              ports->count(P(h), true) == 0 && !ports->get(P(h), 0, false, &port);
                        });
                        return refused;
                      },
                      "clap_plugin_audio_ports called off the main thread"},
        TCarelessCase{"latency_off_the_main_thread", lActive,
                      [](TClapHost& h) {
                        const auto* latency = h.Extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
                        std::uint32_t frames = 1;
                        h.OnAudioThread([&] { frames = latency->get(P(h)); });
                        return frames == 0;
                      },
                      "clap_plugin_latency.get() called off the main thread"},
        TCarelessCase{"gui_off_the_main_thread", lProcessing,
                      [](TClapHost& h) {
                        const auto* gui = h.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
                        bool created = true;
                        h.OnAudioThread([&] { created = gui->create(P(h), kWindowApi, false); });
                        return !created;
                      },
                      "clap_plugin_gui called off the main thread"}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

// The audio thread only marks what it found; the host hears of it from the
// main thread, in its callback (the test host fails any test whose plug-in
// logs on an audio thread).
TEST(ClapContract, AudioThreadFindingsReachTheLogFromTheMainThread) {
  const auto host = PluginIn(lActive);
  EXPECT_TRUE(ProcessRefused(*host));
  EXPECT_TRUE(host->TakeMisbehaviours().empty());
  EXPECT_EQ(host->CallbackRequests.load(), 1);
  EXPECT_TRUE(ProcessRefused(*host));
  EXPECT_EQ(host->CallbackRequests.load(), 1) << "one request per kind";
  host->RunEventLoopOnce();
  EXPECT_EQ(host->TakeMisbehaviours().size(), 1u);

  // Another kind gets a line of its own; any main-thread call writes it.
  host->OnAudioThread([&] { P(*host)->stop_processing(P(*host)); });
  EXPECT_TRUE(host->TakeMisbehaviours().empty());
  EXPECT_TRUE(host->Value(kGainId));
  EXPECT_EQ(host->TakeMisbehaviours(),
            std::vector<std::string>{
                "clap_plugin.stop_processing() called while not processing; ignored"});
}

// Before init the plug-in may not call its host: what the host did wrong is
// told once init has given it a log.
TEST(ClapContract, CallsBeforeInitAreRefusedAndToldAtInit) {
  TClapHost host(OurLibrary(), kPluginId, false);
  EXPECT_FALSE(host.Activate(44100.0, 1, 64));
  EXPECT_FALSE(host.Value(kGainId));
  EXPECT_EQ(Params(host).count(host.Plugin()), 0u);
  EXPECT_EQ(host.CallbackRequests.load(), 0) << "the host was called before init";
  EXPECT_TRUE(host.TakeMisbehaviours().empty());
  ASSERT_TRUE(host.Init());
  EXPECT_EQ(host.TakeMisbehaviours(),
            std::vector<std::string>{"a main-thread call came before clap_plugin.init(); refused"});
  EXPECT_TRUE(host.Activate(44100.0, 1, 64));
}

// A host that does not say which thread is which gets every call on any
// thread; the states are still checked, and without a log nothing is told.
TEST(ClapContract, WithoutThreadCheckOrLogOnlyTheStatesAreChecked) {
  for (const bool log : {true, false}) {
    SCOPED_TRACE(log ? "with a log" : "without a log");
    TClapHost host(OurLibrary(), kPluginId, false);
    host.OfferThreadCheck = false;
    host.OfferLog = log;
    ASSERT_TRUE(host.Init());
    host.OnAudioThread([&] { EXPECT_EQ(host.Value(kGainId), 0.0); });
    EXPECT_TRUE(ProcessRefused(host));
    host.RunEventLoopOnce();
    EXPECT_EQ(host.TakeMisbehaviours().size(), log ? 1u : 0u);
  }
}

// What a host leaves undone at deactivate or destroy is done for it, and said.
TEST(ClapContract, AnUnfinishedLifecycleIsCompletedAndReported) {
  const auto processing = PluginIn(lProcessing);
  P(*processing)->deactivate(P(*processing));
  EXPECT_TRUE(ProcessRefused(*processing)) << "deactivated all the same";
  processing->RunEventLoopOnce();
  EXPECT_EQ(processing->TakeMisbehaviours(),
            (std::vector<std::string>{
                "clap_plugin.deactivate() called while processing; processing stopped first",
                "clap_plugin.process() called while not active; answered CLAP_PROCESS_ERROR"}));
  processing->DestroyAsItIs();

  const auto active = PluginIn(lActive);
  active->DestroyAsItIs();
  EXPECT_EQ(
      active->TakeMisbehaviours(),
      std::vector<std::string>{"clap_plugin.destroy() called while active; deactivated first"});
}

} // namespace
} // namespace glowrasp::clap_test
