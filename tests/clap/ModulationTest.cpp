// A CLAP host's modulation moves what the plug-in processes without moving
// the parameter: a modulated render sounds, bit for bit, as the render
// automated with base + amount (clamped to the range), while the value the
// host reads back, its text and the saved state stay the base.
#include "ClapTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace glowrasp::clap_test {
namespace {

constexpr std::uint32_t kBlock = 512;
constexpr std::size_t kFrames = 4 * kBlock;

// One event at a frame of the material: a value, or a modulation amount.
struct TEvent {
  std::uint32_t Frame;
  clap_id Param;
  double Value;
  bool Modulation = false;
};

struct TModulationCase {
  const char* Name;
  std::vector<TEvent> Modulated; // values and amounts, in frame order
  std::vector<TEvent> Automated; // the values they must sound as
};

void PrintTo(const TModulationCase& c, std::ostream* os) {
  *os << c.Name;
}

std::vector<float> Render(const std::vector<TEvent>& events, const std::vector<float>& left,
                          const std::vector<float>& right, std::vector<float>& outR) {
  const auto host = NewPlugin();
  std::vector<float> outL(kFrames);
  outR.assign(kFrames, 0.0f);
  for (std::size_t done = 0; done < kFrames; done += kBlock) {
    TInputEvents list;
    for (const TEvent& e : events) {
      if (e.Frame < done || e.Frame >= done + kBlock)
        continue;
      const auto at = static_cast<std::uint32_t>(e.Frame - done);
      if (e.Modulation)
        list.AddParamMod(at, e.Param, e.Value);
      else
        list.AddParamValue(at, e.Param, e.Value);
    }
    host->ProcessStereo(const_cast<float*>(left.data() + done),
                        const_cast<float*>(right.data() + done), outL.data() + done,
                        outR.data() + done, kBlock, &list);
  }
  return outL;
}

class TClapModulationTest : public ::testing::TestWithParam<TModulationCase> {};

TEST_P(TClapModulationTest, SoundsAsTheAutomatedSum) {
  const TModulationCase& c = GetParam();
  const std::vector<float> left = LoudNoise(kFrames, 11);
  const std::vector<float> right = LoudNoise(kFrames, 12);
  std::vector<float> modulatedR, automatedR;
  const std::vector<float> modulatedL = Render(c.Modulated, left, right, modulatedR);
  const std::vector<float> automatedL = Render(c.Automated, left, right, automatedR);
  EXPECT_EQ(FirstDifference(modulatedL, automatedL), -1);
  EXPECT_EQ(FirstDifference(modulatedR, automatedR), -1);
  // The modulation made a difference at all: against the base alone.
  std::vector<TEvent> values;
  std::copy_if(c.Modulated.begin(), c.Modulated.end(), std::back_inserter(values),
               [](const TEvent& e) { return !e.Modulation; });
  std::vector<float> baseR;
  EXPECT_NE(FirstDifference(Render(values, left, right, baseR), modulatedL), -1);
}

constexpr bool kMod = true;

INSTANTIATE_TEST_SUITE_P(
    Cases, TClapModulationTest,
    ::testing::Values(
        TModulationCase{"gain_up_from_the_first_frame",
                        {{0, kGainId, -12.0}, {0, kGainId, 6.0, kMod}},
                        {{0, kGainId, -6.0}}},
        TModulationCase{"out_gain_down_inside_a_block",
                        {{0, kOutGainId, 3.0}, {700, kOutGainId, -9.5, kMod}},
                        {{0, kOutGainId, 3.0}, {700, kOutGainId, -6.5}}},
        TModulationCase{"intensity_with_an_uneven_amount",
                        {{0, kIntensityId, 30.0}, {333, kIntensityId, 25.5, kMod}},
                        {{0, kIntensityId, 30.0}, {333, kIntensityId, 55.5}}},
        TModulationCase{"clamped_at_the_top",
                        {{0, kGainId, 40.0}, {100, kGainId, 20.0, kMod}},
                        {{0, kGainId, 40.0}, {100, kGainId, 48.0}}},
        TModulationCase{"clamped_at_the_bottom",
                        {{0, kIntensityId, 20.0}, {1, kIntensityId, -250.0, kMod}},
                        {{0, kIntensityId, 20.0}, {1, kIntensityId, 0.0}}},
        // The amount is absolute: a new one replaces the last, 0 ends it.
        TModulationCase{
            "a_new_amount_replaces_the_last",
            {{0, kGainId, 12.0, kMod}, {600, kGainId, -24.0, kMod}, {1300, kGainId, 0.0, kMod}},
            {{0, kGainId, 12.0}, {600, kGainId, -24.0}, {1300, kGainId, 0.0}}},
        // A later value combines with the amount in force, in the same
        // block and in later ones.
        TModulationCase{
            "a_later_value_keeps_the_amount",
            {{0, kOutGainId, 6.0, kMod}, {200, kOutGainId, -18.0}, {900, kOutGainId, 45.0}},
            {{0, kOutGainId, 6.0}, {200, kOutGainId, -12.0}, {900, kOutGainId, 48.0}}},
        TModulationCase{"every_parameter_at_once",
                        {{0, kGainId, 24.0},
                         {0, kIntensityId, 50.0},
                         {10, kGainId, 12.0, kMod},
                         {10, kIntensityId, -30.0, kMod},
                         {10, kOutGainId, -3.0, kMod}},
                        {{0, kGainId, 24.0},
                         {0, kIntensityId, 50.0},
                         {10, kGainId, 36.0},
                         {10, kIntensityId, 20.0},
                         {10, kOutGainId, -3.0}}}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

// An amount for every continuous parameter.
void AddModulation(TInputEvents& events, double gain, double intensity, double outGain) {
  events.AddParamMod(0, kGainId, gain);
  events.AddParamMod(0, kIntensityId, intensity);
  events.AddParamMod(0, kOutGainId, outGain);
}

TEST(ClapModulation, NeverReachesTheValueItsTextOrTheState) {
  const auto plain = NewPlugin();
  const auto modulated = NewPlugin();
  TInputEvents base;
  base.AddParamValue(0, kGainId, -6.0);
  base.AddParamValue(0, kIntensityId, 40.0);
  std::vector<float> l(kBlock), r(kBlock);
  plain->ProcessStereo(l.data(), r.data(), l.data(), r.data(), kBlock, &base);
  modulated->ProcessStereo(l.data(), r.data(), l.data(), r.data(), kBlock, &base);
  TInputEvents amounts;
  AddModulation(amounts, 30.0, -25.0, 12.0);
  modulated->ProcessStereo(l.data(), r.data(), l.data(), r.data(), kBlock, &amounts);
  // Without audio, as the host's flush brings them.
  TInputEvents more;
  AddModulation(more, -3.0, 5.0, 1.0);
  modulated->Flush(&more, nullptr);

  for (const clap_id id : {kGainId, kIntensityId, kOutGainId, kBypassId}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(modulated->Value(id), plain->Value(id));
    EXPECT_EQ(modulated->ValueText(id, *modulated->Value(id)),
              plain->ValueText(id, *plain->Value(id)));
  }
  EXPECT_EQ(modulated->Value(kGainId), -6.0);
  EXPECT_EQ(modulated->SaveState(), plain->SaveState());
}

TEST(ClapModulation, SkipsTheBypassNotesAndNonNumbers) {
  const auto host = NewPlugin();
  const auto reference = NewPlugin();
  const std::vector<float> loud = LoudNoise(kBlock, 3);
  std::vector<float> l(kBlock), r(kBlock), refL(kBlock), refR(kBlock);
  TInputEvents events;
  events.AddParamMod(0, kBypassId, 1.0);
  events.AddParamMod(0, kGainId, NAN);
  events.AddParamMod(0, kOutGainId, INFINITY);
  events.AddParamMod(0, 99, 10.0);
  clap_event_param_mod_t note{};
  note.header = {sizeof note, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_MOD, 0};
  note.param_id = kGainId;
  note.note_id = 7;
  note.port_index = note.channel = note.key = -1;
  note.amount = 40.0;
  events.AddRaw(note.header);
  clap_event_param_mod_t cut = note;
  cut.header.size = sizeof(clap_event_header_t);
  cut.note_id = -1;
  events.AddRaw(cut.header);
  host->ProcessStereo(const_cast<float*>(loud.data()), const_cast<float*>(loud.data()), l.data(),
                      r.data(), kBlock, &events);
  reference->ProcessStereo(const_cast<float*>(loud.data()), const_cast<float*>(loud.data()),
                           refL.data(), refR.data(), kBlock);
  EXPECT_EQ(FirstDifference(l, refL), -1);
  EXPECT_EQ(host->Value(kBypassId), 0.0);
}

// What the host modulated lasts only while it plays: a reset or a new
// activation starts again from the base.
TEST(ClapModulation, EndsWithResetAndActivation) {
  const std::vector<float> loud = LoudNoise(kBlock, 4);
  auto* in = const_cast<float*>(loud.data());
  std::vector<float> l(kBlock), r(kBlock), plainL(kBlock), plainR(kBlock);
  NewPlugin()->ProcessStereo(in, in, plainL.data(), plainR.data(), kBlock);

  TInputEvents amounts;
  AddModulation(amounts, 24.0, -60.0, -12.0);
  const auto host = NewPlugin();
  host->ProcessStereo(in, in, l.data(), r.data(), kBlock, &amounts);
  ASSERT_NE(FirstDifference(l, plainL), -1);
  host->Reset();
  host->ProcessStereo(in, in, l.data(), r.data(), kBlock);
  EXPECT_EQ(FirstDifference(l, plainL), -1) << "after reset";

  host->ProcessStereo(in, in, l.data(), r.data(), kBlock, &amounts);
  host->StopProcessing();
  host->Deactivate();
  ASSERT_TRUE(host->Activate(48000.0, 1, 4096));
  ASSERT_TRUE(host->StartProcessing());
  host->ProcessStereo(in, in, l.data(), r.data(), kBlock);
  EXPECT_EQ(FirstDifference(l, plainL), -1) << "after a new activation";
}

} // namespace
} // namespace glowrasp::clap_test
