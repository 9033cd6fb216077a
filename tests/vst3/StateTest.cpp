// State through the host's streams: what one instance saves another loads,
// a record of this version keeps loading, and anything short, garbled or
// newer is refused with nothing changed. The controller's own state holds
// the editor's zoom alone.
#include "OurPlugin.h"
#include "common/DamagedRecords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vst3host;

using namespace glowrasp::hosttest;

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

TEST(TVst3StateTest, ARecordOfThisVersionKeepsLoading) {
  TOurPlugin p;
  TMemoryStream stream(kSavedRecord);
  ASSERT_EQ(p.Comp().set_state(p.Component(), stream.Stream()), V3_OK);
  EXPECT_EQ(Values(p), (std::vector<double>{0.75, 0.25, 0.5, 1.0}));
  EXPECT_EQ(p.SavedState(), kSavedRecord);
}

TEST(TVst3StateTest, ShortGarbledOrNewerRecordsChangeNothing) {
  TNamedRecords bad = Cuts(kSavedRecord, 0);
  bad.emplace_back("other magic", Changed(kSavedRecord, 0, 'X'));
  bad.emplace_back("newer version", Changed(kSavedRecord, 4, 0x02));
  bad.emplace_back("count beyond the bytes", Changed(kSavedRecord, 6, 0x04));
  bad.emplace_back("bypass neither 0 nor 1", Changed(kSavedRecord, kSavedRecord.size() - 1, 0x07));
  bad.emplace_back("far too long", std::vector<std::uint8_t>(1 << 20, 0x4B));

  TOurPlugin p;
  ASSERT_EQ(p.Ctrl().set_parameter_normalised(p.Controller(), kGainId, 0.125), V3_OK);
  const std::vector<double> before = Values(p);
  const std::vector<std::uint8_t> saved = p.SavedState();
  for (const auto& [name, bytes] : bad) {
    TMemoryStream forComponent(bytes);
    EXPECT_NE(p.Comp().set_state(p.Component(), forComponent.Stream()), V3_OK) << name;
    TMemoryStream forController(bytes);
    EXPECT_NE(p.Ctrl().set_component_state(p.Controller(), forController.Stream()), V3_OK) << name;
    EXPECT_EQ(Values(p), before) << name;
  }
  EXPECT_EQ(p.SavedState(), saved);
  EXPECT_NE(p.Comp().set_state(p.Component(), nullptr), V3_OK);
  EXPECT_NE(p.Comp().get_state(p.Component(), nullptr), V3_OK);
}

v3_result SetControllerState(const TOurPlugin& p, const std::vector<std::uint8_t>& bytes) {
  TMemoryStream stream(bytes);
  stream.ReadLimit = 3;
  return p.Ctrl().set_state(p.Controller(), stream.Stream());
}

// "KGRE", version 1, 150 %.
const std::vector<std::uint8_t> kZoomRecord = {'K', 'G', 'R', 'E', 1, 0, 150, 0};

TEST(TVst3StateTest, TheControllerKeepsTheEditorZoomApartFromTheValues) {
  TOurPlugin p;
  const std::vector<std::uint8_t> values = p.SavedState();
  EXPECT_TRUE(p.ControllerState().empty()) << "nothing kept: an empty state, as earlier builds";

  const std::vector<std::uint8_t> followHost = {'K', 'G', 'R', 'E', 1, 0, 0, 0};
  for (const auto& record : {kZoomRecord, followHost}) {
    ASSERT_EQ(SetControllerState(p, record), V3_OK);
    EXPECT_EQ(p.ControllerState(), record);
  }
  EXPECT_EQ(p.SavedState(), values) << "the component's state is the values' record alone";
  ASSERT_EQ(SetControllerState(p, {}), V3_OK) << "an earlier build's empty state";
  EXPECT_TRUE(p.ControllerState().empty());
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

// An editor record this build cannot read (garbled, newer, of another kind)
// keeps no zoom: the user's settings apply, as with an earlier build's state.
TEST(TVst3StateTest, AnUnreadableControllerStateKeepsNoZoom) {
  TNamedRecords bad = Cuts(kZoomRecord, 1);
  bad.emplace_back("the values' magic", Changed(kZoomRecord, 3, 'S'));
  bad.emplace_back("version 0", Changed(kZoomRecord, 4, 0));
  bad.emplace_back("newer version", Changed(kZoomRecord, 4, 2));
  bad.emplace_back("zoom 99 %", Changed(kZoomRecord, 6, 99));
  bad.emplace_back("zoom 556 %", Changed(kZoomRecord, 7, 2));
  std::vector<std::uint8_t> longer = kZoomRecord;
  longer.push_back(0);
  bad.emplace_back("trailing byte", longer);
  bad.emplace_back("the values' record", kSavedRecord);

  TOurPlugin p;
  for (const auto& [name, bytes] : bad) {
    ASSERT_EQ(SetControllerState(p, kZoomRecord), V3_OK);
    EXPECT_EQ(SetControllerState(p, bytes), V3_OK) << name;
    EXPECT_TRUE(p.ControllerState().empty()) << name;
  }
  ASSERT_EQ(SetControllerState(p, kZoomRecord), V3_OK);
  EXPECT_NE(SetControllerState(p, std::vector<std::uint8_t>(1 << 20, 0x4B)), V3_OK)
      << "longer than any state of ours";
  EXPECT_NE(p.Ctrl().set_state(p.Controller(), nullptr), V3_OK);
  EXPECT_NE(p.Ctrl().get_state(p.Controller(), nullptr), V3_OK);
  EXPECT_EQ(p.ControllerState(), kZoomRecord);
}

} // namespace
