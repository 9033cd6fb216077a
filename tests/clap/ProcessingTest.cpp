// The CLAP plug-in against the VST 2 build: the same material and the same
// automation give the same samples, bit for bit. A change inside a CLAP block
// takes effect at its frame, exactly as a VST 2 host that cuts its block
// there and sets the parameter in between.
#include "ClapTestSupport.h"
#include "hostlib/PluginHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace glowrasp::clap_test {
namespace {

constexpr float kSentinel = 12345.0f;
constexpr VstInt32 kEffSetBypass = 44;

// A parameter change at a frame of the material, as a plain CLAP value.
struct TChange {
  std::uint32_t Frame;
  clap_id Param;
  double Value;
};

enum TLayout { lStereo, lMonoRoute, lInPlace, lMonoInPlace, lOneChannelInput, lNullSecondInput };

struct TProcessCase {
  const char* Name;
  TLayout Layout;
  std::vector<std::uint32_t> Blocks; // repeated until the material ends; 0 is an empty call
  std::vector<TChange> Changes;      // in frame order
  bool WithJunk = false;             // events the plug-in must pass over
};

void PrintTo(const TProcessCase& c, std::ostream* os) {
  *os << c.Name;
}

// What a VST 2 host sends for the same setting.
void ApplyToVst(glowrasp::host::Plugin& effect, const TChange& change) {
  switch (change.Param) {
  case kGainId:
  case kOutGainId:
    effect.setParameter(static_cast<int>(change.Param),
                        static_cast<float>(change.Value / 96.0 + 0.5));
    break;
  case kIntensityId:
    effect.setParameter(1, static_cast<float>(change.Value / 100.0));
    break;
  case kBypassId:
    effect.dispatch(kEffSetBypass, 0, change.Value >= 1.0 ? 1 : 0);
    break;
  }
}

// Events no plug-in of ours acts on: another event space, a note, an
// unknown parameter, a value that is no number, a record too short.
void AddJunk(TInputEvents& events, std::uint32_t time) {
  clap_event_param_value_t foreign{};
  foreign.header = {sizeof foreign, time, 7, CLAP_EVENT_PARAM_VALUE, 0};
  foreign.param_id = kGainId;
  foreign.value = 48.0;
  events.AddRaw(foreign.header);
  clap_event_note_t note{};
  note.header = {sizeof note, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_ON, 0};
  events.AddRaw(note.header);
  events.AddParamValue(time, 77, 1.0);
  events.AddParamValue(time, CLAP_INVALID_ID, 1.0);
  events.AddParamValue(time, kGainId, NAN);
  events.AddParamValue(time, kOutGainId, INFINITY);
  clap_event_param_value_t cut{};
  cut.header = {sizeof(clap_event_header_t), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE,
                0};
  events.AddRaw(cut.header);
}

class TClapProcessingTest : public ::testing::TestWithParam<TProcessCase> {};

TEST_P(TClapProcessingTest, SameSamplesAsTheVstBuild) {
  const TProcessCase& c = GetParam();
  constexpr std::size_t frames = 6000;
  const bool mono = c.Layout == lMonoRoute || c.Layout == lMonoInPlace ||
                    c.Layout == lOneChannelInput || c.Layout == lNullSecondInput;
  const std::vector<float> left = LoudNoise(frames, 1);
  const std::vector<float> right = mono ? left : LoudNoise(frames, 2);
  std::vector<float> vstL(frames), vstR(frames), clapL(frames), clapR(frames);

  glowrasp::host::Plugin effect(
      std::make_shared<const glowrasp::host::PluginLibrary>(GLOWRASP_PLUGIN_PATH));
  effect.setSampleRate(44100.0f);
  effect.setBlockSize(4096);
  effect.resume();
  const auto host = NewPlugin();

  std::size_t next = 0; // the next change, on the VST side
  std::size_t done = 0;
  for (std::size_t block = 0; done < frames; ++block) {
    const auto n = static_cast<std::uint32_t>(
        std::min<std::size_t>(c.Blocks[block % c.Blocks.size()], frames - done));
    TInputEvents events;
    for (const TChange& change : c.Changes)
      if (change.Frame >= done && (change.Frame < done + n || (n == 0 && change.Frame == done)))
        events.AddParamValue(static_cast<std::uint32_t>(change.Frame - done), change.Param,
                             change.Value);
    if (c.WithJunk) {
      AddJunk(events, 0);
      AddJunk(events, n / 2);
      AddJunk(events, n + 100); // beyond the block: taken at its end
    }

    // The VST build, cut at every change.
    for (std::size_t at = done;
         at < done + n || (n == 0 && next < c.Changes.size() && c.Changes[next].Frame == done);) {
      while (next < c.Changes.size() && c.Changes[next].Frame == at)
        ApplyToVst(effect, c.Changes[next++]);
      if (n == 0)
        break;
      const std::size_t until = next < c.Changes.size()
                                    ? std::min<std::size_t>(c.Changes[next].Frame, done + n)
                                    : done + n;
      float* in[2] = {const_cast<float*>(left.data() + at),
                      const_cast<float*>((mono ? left : right).data() + at)};
      float* out[2] = {vstL.data() + at, vstR.data() + at};
      effect.processReplacing(in, out, static_cast<int>(until - at));
      at = until;
    }

    float* inL = const_cast<float*>(left.data() + done);
    float* inR = const_cast<float*>(right.data() + done);
    float* outL = clapL.data() + done;
    float* outR = clapR.data() + done;
    if (n == 0) {
      // Nothing may be read or written.
      float probe[2] = {kSentinel, kSentinel};
      EXPECT_EQ(host->ProcessStereo(inL, inR, &probe[0], &probe[1], 0, &events),
                CLAP_PROCESS_CONTINUE);
      EXPECT_EQ(probe[0], kSentinel);
      EXPECT_EQ(probe[1], kSentinel);
      continue;
    }
    clap_process_status status = CLAP_PROCESS_ERROR;
    switch (c.Layout) {
    case lStereo:
      status = host->ProcessStereo(inL, inR, outL, outR, n, &events);
      break;
    case lMonoRoute:
      status = host->ProcessStereo(inL, inL, outL, outR, n, &events);
      break;
    case lInPlace:
      std::copy(inL, inL + n, outL);
      std::copy(inR, inR + n, outR);
      status = host->ProcessStereo(outL, outR, outL, outR, n, &events);
      break;
    case lMonoInPlace:
      std::copy(inL, inL + n, outL);
      status = host->ProcessStereo(outL, outL, outL, outR, n, &events);
      break;
    case lOneChannelInput: {
      std::vector<TPortBuffers> outputs{{{outL, outR}}};
      status = host->Process({{{inL}}}, outputs, n, &events);
      break;
    }
    case lNullSecondInput: {
      // Two channels, the second left null by the host: the first one alone.
      std::vector<TPortBuffers> outputs{{{outL, outR}}};
      status = host->Process({{{inL, nullptr}}}, outputs, n, &events);
      break;
    }
    }
    EXPECT_EQ(status, CLAP_PROCESS_CONTINUE);
    done += n;
  }
  EXPECT_EQ(FirstDifference(clapL, vstL), -1) << "left";
  EXPECT_EQ(FirstDifference(clapR, vstR), -1) << "right";
  // The host reads back the last value of each parameter, on its step.
  for (const TChange& change : c.Changes) {
    const auto last = std::find_if(c.Changes.rbegin(), c.Changes.rend(),
                                   [&](const TChange& x) { return x.Param == change.Param; });
    EXPECT_NEAR(*host->Value(change.Param), last->Value, 1e-4) << "parameter " << change.Param;
  }
}

const std::vector<TChange> kSweep = {
    {0, kGainId, 12.0},        {0, kIntensityId, 50.0}, {1234, kGainId, 30.5},
    {1235, kOutGainId, -6.0},  {2047, kGainId, -7.3},   {2048, kIntensityId, 33.3},
    {3000, kGainId, 48.0},     {3000, kGainId, 24.0},   {4500, kOutGainId, 5.5},
    {5999, kIntensityId, 0.0},
};

const std::vector<TChange> kBypassSwitching = {
    {0, kGainId, 24.0},     {700, kBypassId, 1.0},   {730, kBypassId, 0.0},
    {1500, kBypassId, 1.0}, {2600, kGainId, -12.0},  {3100, kBypassId, 0.0},
    {4000, kBypassId, 0.9}, {4001, kOutGainId, 3.0}, {5000, kBypassId, 1.0},
};

INSTANTIATE_TEST_SUITE_P(
    Blocks, TClapProcessingTest,
    ::testing::Values(
        TProcessCase{"stereo_one_block_per_change_and_more", lStereo, {512, 4096}, kSweep},
        TProcessCase{"stereo_odd_blocks_with_empty_calls", lStereo, {1, 37, 0, 255}, kSweep},
        TProcessCase{"mono_route", lMonoRoute, {64, 0, 1000}, kSweep},
        TProcessCase{"in_place", lInPlace, {128, 3}, kSweep},
        TProcessCase{"mono_in_place", lMonoInPlace, {300}, kSweep},
        TProcessCase{"one_channel_input_port", lOneChannelInput, {256}, kSweep},
        TProcessCase{"null_second_input_channel", lNullSecondInput, {256}, kSweep},
        TProcessCase{"bypass_switching", lStereo, {100, 333}, kBypassSwitching},
        TProcessCase{"events_it_must_pass_over", lStereo, {480}, kSweep, true}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

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
  EXPECT_EQ(host->Plugin()->process(host->Plugin(), nullptr), CLAP_PROCESS_ERROR);
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
  host->Plugin()->reset(host->Plugin());
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
  const auto* params = host->Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  params->flush(host->Plugin(), nullptr, nullptr);
}

} // namespace
} // namespace glowrasp::clap_test
