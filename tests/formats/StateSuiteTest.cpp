// The state a host saves with its project, in every format that keeps one:
// what one instance saves another restores, values and sound; a record of
// this version keeps loading; values' records that are short, garbled or
// newer are refused with nothing changed; an editor record this build cannot
// read is skipped and the values still load; a kept zoom travels with the state.
#include "SuiteSupport.h"
#include "common/DamagedRecords.h"
#include "common/TestSignals.h"

#include <cmath>

namespace formats {
namespace {

using glowrasp::hosttest::Changed;
using glowrasp::hosttest::Cuts;
using glowrasp::hosttest::TNamedRecords;
using TBytes = std::vector<std::uint8_t>;

// A values' record as this version writes it: +24 dB, 25 %, 0 dB, bypassed.
const TBytes kVersionOneValues = {
    'K',  'G',  'R',  'S',  0x01, 0x00, 0x03, 0x00, // magic, version, count
    0x00, 0x00, 0x00, 0x00, 0xB0, 0x71, 0x0B, 0x00, // gain: step 750000
    0x01, 0x00, 0x00, 0x00, 0x90, 0xD0, 0x03, 0x00, // intensity: 250000
    0x02, 0x00, 0x00, 0x00, 0x20, 0xA1, 0x07, 0x00, // out gain: 500000
    0x01};                                          // bypass

// Editor records: "KGRE", version 1, the zoom in percent (0: follow the host).
const TBytes kZoom250 = {'K', 'G', 'R', 'E', 1, 0, 250, 0};
const TBytes kFollowHost = {'K', 'G', 'R', 'E', 1, 0, 0, 0};

std::vector<double> Values(const TFormatDriver& driver) {
  std::vector<double> values;
  for (int param = 0; param < kParamCount; ++param)
    values.push_back(driver.Value(param).value_or(NAN));
  return values;
}

std::vector<float> Sound(TFormatDriver& driver) {
  constexpr std::uint32_t kFrames = 2048;
  std::vector<float> left = LoudNoise(kFrames, 7);
  std::vector<float> right = LoudNoise(kFrames, 8);
  std::vector<float> out(2 * kFrames);
  float* const in[2] = {left.data(), right.data()};
  float* const outputs[2] = {out.data(), out.data() + kFrames};
  EXPECT_TRUE(driver.Process(in, outputs, kFrames, {}));
  return out;
}

using TStateTest = TFormatTest;

TEST_P(TStateTest, WhatOneInstanceSavesAnotherRestores) {
  const auto source = Make();
  if (const TUnsupported why = source->CannotKeepState())
    GTEST_SKIP() << *why;
  source->Start(44100.0, 4096);
  source->Set(kGain, 12.0);
  source->Set(kIntensity, 33.3);
  source->Set(kOutGain, -20.0);
  const std::optional<TSavedState> saved = source->SaveState();
  ASSERT_TRUE(saved);

  const auto target = Make();
  target->Start(44100.0, 4096);
  ASSERT_TRUE(target->LoadState(*saved));
  EXPECT_EQ(Values(*target), Values(*source));
  EXPECT_EQ(target->SaveState(), saved);
  EXPECT_EQ(FirstDifference(Sound(*target), Sound(*source)), -1) << "the restored sound";
}

TEST_P(TStateTest, ARecordOfThisVersionKeepsLoading) {
  const auto driver = Make();
  if (const TUnsupported why = driver->CannotKeepState())
    GTEST_SKIP() << *why;
  ASSERT_TRUE(driver->LoadState({kVersionOneValues, {}}));
  EXPECT_EQ(Values(*driver), (std::vector<double>{24.0, 25.0, 0.0, 1.0}));
  EXPECT_EQ(driver->SaveState(), (TSavedState{kVersionOneValues, {}}));
}

TEST_P(TStateTest, ValuesItCannotReadAreRefusedWithNothingChanged) {
  const auto driver = Make();
  if (const TUnsupported why = driver->CannotKeepState())
    GTEST_SKIP() << *why;
  TNamedRecords bad = Cuts(kVersionOneValues);
  bad.emplace_back("other magic", Changed(kVersionOneValues, 0, 'X'));
  bad.emplace_back("newer version", Changed(kVersionOneValues, 4, 0x02));
  bad.emplace_back("count beyond the bytes", Changed(kVersionOneValues, 6, 0x04));
  bad.emplace_back("a step out of range", Changed(kVersionOneValues, 15, 0x7F));
  bad.emplace_back("bypass neither 0 nor 1",
                   Changed(kVersionOneValues, kVersionOneValues.size() - 1, 0x07));
  bad.emplace_back("far too long", TBytes(1 << 20, 0x4B));

  ASSERT_TRUE(driver->LoadState({kVersionOneValues, kZoom250}));
  driver->Set(kIntensity, 50.0);
  const std::vector<double> values = Values(*driver);
  const std::optional<TSavedState> before = driver->SaveState();
  for (const auto& [name, bytes] : bad) {
    EXPECT_FALSE(driver->LoadState({bytes, {}})) << name;
    EXPECT_EQ(Values(*driver), values) << name;
    EXPECT_EQ(driver->SaveState(), before) << name;
  }
}

TEST_P(TStateTest, AnEditorRecordItCannotReadIsSkippedAndTheValuesLoad) {
  const auto driver = Make();
  if (const TUnsupported why = driver->CannotKeepState())
    GTEST_SKIP() << *why;
  TNamedRecords unreadable = Cuts(kZoom250, 1);
  unreadable.emplace_back("newer version", TBytes{'K', 'G', 'R', 'E', 2, 0, 150, 0, 1, 2});
  unreadable.emplace_back("version 0", Changed(kZoom250, 4, 0));
  unreadable.emplace_back("another magic", Changed(kZoom250, 3, 'X'));
  unreadable.emplace_back("zoom 99 %", Changed(kZoom250, 6, 99));
  unreadable.emplace_back("zoom 556 %", Changed(kZoom250, 7, 2));
  TBytes longer = kZoom250;
  longer.push_back(0);
  unreadable.emplace_back("a byte after the record", longer);
  unreadable.emplace_back("the values' record", kVersionOneValues);

  for (const auto& [name, bytes] : unreadable) {
    ASSERT_TRUE(driver->LoadState({kVersionOneValues, kZoom250}));
    driver->Set(kGain, -12.0);
    driver->Set(kBypass, 0.0);
    EXPECT_TRUE(driver->LoadState({kVersionOneValues, bytes})) << name;
    EXPECT_EQ(Values(*driver), (std::vector<double>{24.0, 25.0, 0.0, 1.0})) << name;
    EXPECT_EQ(driver->SaveState(), (TSavedState{kVersionOneValues, {}}))
        << name << ": no zoom kept";
  }
}

TEST_P(TStateTest, AKeptZoomTravelsWithTheValues) {
  const auto driver = Make();
  if (const TUnsupported why = driver->CannotKeepState())
    GTEST_SKIP() << *why;
  const auto nothingKept = driver->SaveState();
  ASSERT_TRUE(nothingKept);
  EXPECT_TRUE(nothingKept->Editor.empty()) << "nothing chosen, nothing kept";
  for (const TBytes& editor : {kZoom250, kFollowHost, TBytes{}}) {
    ASSERT_TRUE(driver->LoadState({kVersionOneValues, editor}));
    EXPECT_EQ(driver->SaveState(), (TSavedState{kVersionOneValues, editor}));
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, TStateTest, ::testing::ValuesIn(Formats()), FormatName);

} // namespace
} // namespace formats
