// What only CLAP processing has: port layouts without usable outputs or
// without an input, reset, activation again, and changes flushed without
// audio. (Its output against the reference, for every layout and kind of
// automation, is a cross-format case, tests/formats.)
#include "ClapTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace glowrasp::clap_test {
namespace {

constexpr float kSentinel = 12345.0f;

TEST(ClapProcessing, WithoutUsableOutputsItFailsButKeepsTheChanges) {
  const auto host = NewPlugin();
  std::vector<float> a(64, 0.5f), b(64, 0.5f);
  TInputEvents events;
  events.AddParamValue(10, kGainId, 24.0);
  std::vector<TPortBuffers> none;
  EXPECT_EQ(host->Process({{{a.data(), b.data()}}}, none, 64, &events), CLAP_PROCESS_ERROR);
  EXPECT_EQ(host->Value(kGainId), 24.0);

  // One output channel, or a null one, cannot take the stereo result.
  std::vector<TPortBuffers> mono{{{a.data()}}};
  EXPECT_EQ(host->Process({{{a.data(), b.data()}}}, mono, 64), CLAP_PROCESS_ERROR);
  std::vector<TPortBuffers> holed{{{a.data(), nullptr}}};
  EXPECT_EQ(host->Process({{{a.data(), b.data()}}}, holed, 64), CLAP_PROCESS_ERROR);
  EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](float x) { return x == 0.5f; }));
  host->OnAudioThread(
      [&] { EXPECT_EQ(host->Plugin()->process(host->Plugin(), nullptr), CLAP_PROCESS_ERROR); });
}

TEST(ClapProcessing, WithoutAnInputItProcessesSilence) {
  const auto host = NewPlugin();
  std::vector<float> l(256, kSentinel), r(256, kSentinel);
  std::vector<TPortBuffers> outputs{{{l.data(), r.data()}}};
  EXPECT_EQ(host->Process({}, outputs, 256), CLAP_PROCESS_CONTINUE);
  EXPECT_TRUE(std::all_of(l.begin(), l.end(), [](float x) { return x == 0.0f; }));
  EXPECT_TRUE(std::all_of(r.begin(), r.end(), [](float x) { return x == 0.0f; }));
}

TEST(ClapProcessing, ResetStartsAgainFromSilence) {
  const auto host = NewPlugin();
  const std::vector<float> loud = LoudNoise(512, 5);
  std::vector<float> l(512), r(512), first(512);
  host->ProcessStereo(const_cast<float*>(loud.data()), const_cast<float*>(loud.data()),
                      first.data(), r.data(), 512);
  host->Reset();
  host->ProcessStereo(const_cast<float*>(loud.data()), const_cast<float*>(loud.data()), l.data(),
                      r.data(), 512);
  EXPECT_EQ(FirstDifference(l, first), -1);
}

// Hosts deactivate and activate again for every change of rate or device:
// nothing from before may sound after.
TEST(ClapProcessing, ActivatingAgainStartsFromSilence) {
  const auto host = NewPlugin();
  std::vector<float> in(64, 0.0f), l(64), r(64);
  in[60] = 0.9f; // still in the plug-in when the block ends
  host->ProcessStereo(in.data(), in.data(), l.data(), r.data(), 64);
  host->StopProcessing();
  host->Deactivate();
  ASSERT_TRUE(host->Activate(48000.0, 1, 4096));
  ASSERT_TRUE(host->StartProcessing());
  std::fill(in.begin(), in.end(), 0.0f);
  host->ProcessStereo(in.data(), in.data(), l.data(), r.data(), 64);
  EXPECT_TRUE(std::all_of(l.begin(), l.end(), [](float x) { return x == 0.0f; }));
  EXPECT_TRUE(std::all_of(r.begin(), r.end(), [](float x) { return x == 0.0f; }));
}

// Parameter changes without audio: the host's flush, on the main thread
// while the plug-in is inactive.
TEST(ClapProcessing, FlushAppliesChangesWithoutAudio) {
  const auto host = NewPlugin(false);
  TInputEvents events;
  events.AddParamValue(0, kIntensityId, 12.5);
  events.AddParamValue(0, kBypassId, 1.0);
  events.AddParamValue(0, 42, 1.0);
  TOutputEvents out;
  host->Flush(&events, &out);
  EXPECT_EQ(host->Value(kIntensityId), 12.5);
  EXPECT_EQ(host->Value(kBypassId), 1.0);
  EXPECT_TRUE(out.Events.empty()) << "a change from the host is not echoed";
  // The bypass is stepped: a value short of on is off.
  TInputEvents almost;
  almost.AddParamValue(0, kBypassId, 0.9);
  host->Flush(&almost, nullptr);
  EXPECT_EQ(host->Value(kBypassId), 0.0);
  const auto* params = host->Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  params->flush(host->Plugin(), nullptr, nullptr);
}

} // namespace
} // namespace glowrasp::clap_test
