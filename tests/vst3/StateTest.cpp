// What the VST3 state adds to the cases every format passes: streams that
// hand out a few bytes per read or err at their end, the controller loading
// the component's state on its own, what follows the values in the
// component's stream, and streams a host should never pass.
#include "OurPlugin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vst3host;

// A record as this version writes it: +24 dB, 25 %, 0 dB, bypassed.
const std::vector<std::uint8_t> kSavedRecord = {
    'K',  'G',  'R',  'S',  0x01, 0x00, 0x03, 0x00, // magic, version, count
    0x00, 0x00, 0x00, 0x00, 0xB0, 0x71, 0x0B, 0x00, // gain: step 750000
    0x01, 0x00, 0x00, 0x00, 0x90, 0xD0, 0x03, 0x00, // intensity: 250000
    0x02, 0x00, 0x00, 0x00, 0x20, 0xA1, 0x07, 0x00, // out gain: 500000
    0x01};                                          // bypass

std::vector<double> Values(const TOurPlugin& p) {
  std::vector<double> values;
  for (v3_param_id id : {kGainId, kIntensityId, kOutGainId, kBypassId})
    values.push_back(p.Ctrl().get_parameter_normalised(p.Controller(), id));
  return values;
}

TEST(TVst3StateTest, WhatOneInstanceSavesAnotherLoads) {
  TOurPlugin first;
  ASSERT_EQ(first.Ctrl().set_parameter_normalised(first.Controller(), kGainId, 0.3), V3_OK);
  ASSERT_EQ(first.Ctrl().set_parameter_normalised(first.Controller(), kIntensityId, 0.62), V3_OK);
  ASSERT_EQ(first.Ctrl().set_parameter_normalised(first.Controller(), kOutGainId, 0.9), V3_OK);
  ASSERT_EQ(first.Ctrl().set_parameter_normalised(first.Controller(), kBypassId, 1.0), V3_OK);
  const std::vector<std::uint8_t> saved = first.SavedState();
  ASSERT_FALSE(saved.empty());

  // Through the component, and through the controller as hosts do next; a
  // stream that hands out a few bytes per read loads all the same.
  for (const bool throughController : {false, true}) {
    TOurPlugin second;
    TMemoryStream stream(saved);
    stream.ReadLimit = 3;
    const v3_result result =
        throughController ? second.Ctrl().set_component_state(second.Controller(), stream.Stream())
                          : second.Comp().set_state(second.Component(), stream.Stream());
    ASSERT_EQ(result, V3_OK);
    EXPECT_EQ(Values(second), Values(first));
    EXPECT_EQ(second.SavedState(), saved);
  }
}

v3_result SetControllerState(const TOurPlugin& p, const std::vector<std::uint8_t>& bytes) {
  TMemoryStream stream(bytes);
  stream.ReadLimit = 3;
  return p.Ctrl().set_state(p.Controller(), stream.Stream());
}

// "KGRE", version 1, 150 %.
const std::vector<std::uint8_t> kZoomRecord = {'K', 'G', 'R', 'E', 1, 0, 150, 0};

TEST(TVst3StateTest, NoStreamOrOneLongerThanAnyStateOfOursIsRefused) {
  TOurPlugin p;
  ASSERT_EQ(SetControllerState(p, kZoomRecord), V3_OK);
  const std::vector<std::uint8_t> saved = p.SavedState();
  EXPECT_NE(SetControllerState(p, std::vector<std::uint8_t>(1 << 20, 0x4B)), V3_OK);
  EXPECT_NE(p.Ctrl().set_state(p.Controller(), nullptr), V3_OK);
  EXPECT_NE(p.Ctrl().get_state(p.Controller(), nullptr), V3_OK);
  EXPECT_EQ(p.ControllerState(), kZoomRecord);
  EXPECT_NE(p.Comp().set_state(p.Component(), nullptr), V3_OK);
  EXPECT_NE(p.Comp().get_state(p.Component(), nullptr), V3_OK);
  EXPECT_EQ(p.SavedState(), saved);
}

// Some hosts' streams answer the read that reaches their end with an error:
// what was read still loads when it is a whole record.
TEST(TVst3StateTest, AStreamThatErrsAtItsEndStillLoads) {
  TOurPlugin p;
  TMemoryStream stream(kSavedRecord);
  stream.FailsShortReads = true;
  ASSERT_EQ(p.Comp().set_state(p.Component(), stream.Stream()), V3_OK);
  EXPECT_EQ(Values(p), (std::vector<double>{0.75, 0.25, 0.5, 1.0}));
  TMemoryStream empty;
  empty.FailsShortReads = true;
  EXPECT_NE(p.Comp().set_state(p.Component(), empty.Stream()), V3_OK);
}

// Hosts' streams may carry more than the record, and a later build may add
// records after it: the values still load.
TEST(TVst3StateTest, WhatFollowsTheValuesIsSkipped) {
  std::vector<std::uint8_t> longer = kSavedRecord;
  longer.push_back(0);
  std::vector<std::uint8_t> withNewerEditor = kSavedRecord;
  withNewerEditor.insert(withNewerEditor.end(), {'K', 'G', 'R', 'E', 2, 0, 150, 0, 1, 2});
  for (const auto& bytes : {longer, withNewerEditor}) {
    TOurPlugin p;
    TMemoryStream stream(bytes);
    ASSERT_EQ(p.Comp().set_state(p.Component(), stream.Stream()), V3_OK);
    EXPECT_EQ(Values(p), (std::vector<double>{0.75, 0.25, 0.5, 1.0}));
  }
}

} // namespace
