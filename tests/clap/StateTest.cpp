// The state a host saves with its project: the record round-trips through
// any way of streaming it, a record of this version keeps loading, the
// editor's zoom follows it when one is kept, and anything else is refused
// with nothing changed.
#include "ClapTestSupport.h"
#include "common/DamagedRecords.h"

#include <gtest/gtest.h>

#include <cstring>

namespace glowrasp::clap_test {
namespace {

// Sets values the way a host does without audio: a flush of value events.
void Set(TClapHost& host, std::initializer_list<std::pair<clap_id, double>> values) {
  TInputEvents events;
  for (const auto& [id, value] : values)
    events.AddParamValue(0, id, value);
  host.Flush(&events, nullptr);
}

std::vector<double> Values(const TClapHost& host) {
  std::vector<double> values;
  for (clap_id id : {kGainId, kIntensityId, kOutGainId, kBypassId})
    values.push_back(*host.Value(id));
  return values;
}

TEST(ClapState, RoundTripsThroughStreamsOfAnyChunkSize) {
  const auto source = NewPlugin(false);
  Set(*source, {{kGainId, 12.0}, {kIntensityId, 33.3}, {kOutGainId, -20.0}, {kBypassId, 1.0}});
  const auto whole = source->SaveState();
  ASSERT_TRUE(whole);
  for (const std::uint64_t chunk : {std::uint64_t{1}, std::uint64_t{3}, std::uint64_t{1} << 20}) {
    SCOPED_TRACE(chunk);
    EXPECT_EQ(source->SaveState(chunk), whole);
    const auto target = NewPlugin(false);
    EXPECT_TRUE(target->LoadState(*whole, chunk));
    EXPECT_EQ(Values(*target), Values(*source));
    EXPECT_EQ(target->SaveState(), whole);
    EXPECT_EQ(target->ParamRescans, 1) << "the host is asked to read the values again";
  }
}

// A record of version 1, byte for byte: later versions must keep loading it.
TEST(ClapState, AVersionOneRecordLoads) {
  const std::vector<std::uint8_t> record = {
      'K', 'G', 'R', 'S', 1,    0,    3,    0, // magic, version 1, three values
      0,   0,   0,   0,   0x48, 0xe8, 0x01, 0, // gain: step 125000 (-36 dB)
      1,   0,   0,   0,   0xa0, 0x86, 0x01, 0, // intensity: step 100000 (10 %)
      2,   0,   0,   0,   0x40, 0x42, 0x0f, 0, // out gain: step 1000000 (+48 dB)
      1,                                       // bypassed
  };
  const auto host = NewPlugin(false);
  ASSERT_TRUE(host->LoadState(record));
  const std::vector<double> expected{-36.0, 10.0, 48.0, 1.0};
  const std::vector<double> loaded = Values(*host);
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_NEAR(loaded[i], expected[i], 1e-5) << "parameter " << i;
}

TEST(ClapState, RefusesWhatItDidNotWriteAndKeepsItsValues) {
  const auto source = NewPlugin(false);
  Set(*source, {{kGainId, -3.0}});
  const std::vector<std::uint8_t> good = *source->SaveState();

  hosttest::TNamedRecords bad = hosttest::Cuts(good);
  using hosttest::Changed;
  bad.emplace_back("another magic", Changed(good, 0, 'X'));
  bad.emplace_back("a later version", Changed(good, 4, 2));
  bad.emplace_back("a bypass byte of 2", Changed(good, good.size() - 1, 2));
  bad.emplace_back("a step out of range", Changed(good, 12 + 3, 0x7f));
  bad.emplace_back("far too long", std::vector<std::uint8_t>(1 << 20, 0));

  const auto target = NewPlugin(false);
  Set(*target, {{kIntensityId, 50.0}, {kBypassId, 1.0}});
  const auto before = Values(*target);
  for (const auto& [what, bytes] : bad) {
    EXPECT_FALSE(target->LoadState(bytes)) << what;
    EXPECT_EQ(Values(*target), before) << what;
  }
  EXPECT_EQ(target->ParamRescans, 0);
}

TEST(ClapState, AFailingStreamFailsTheCall) {
  const auto host = NewPlugin(false);
  const auto* state = host->Extension<clap_plugin_state_t>(CLAP_EXT_STATE);
  ASSERT_NE(state, nullptr);
  for (const std::int64_t answer : {std::int64_t{-1}, std::int64_t{0}}) {
    SCOPED_TRACE(answer);
    // A writer that fails, or takes nothing (which must not hang the plug-in).
    std::int64_t result = answer;
    const clap_ostream_t writer{&result, [](const clap_ostream_t* s, const void*, std::uint64_t) {
                                  return *static_cast<std::int64_t*>(s->ctx);
                                }};
    EXPECT_FALSE(state->save(host->Plugin(), &writer));
  }
  const clap_istream_t reader{
      nullptr, [](const clap_istream_t*, void*, std::uint64_t) { return std::int64_t{-1}; }};
  EXPECT_FALSE(state->load(host->Plugin(), &reader));
  EXPECT_FALSE(state->save(host->Plugin(), nullptr));
  EXPECT_FALSE(state->load(host->Plugin(), nullptr));
}

std::vector<std::uint8_t> Joined(std::vector<std::uint8_t> first,
                                 const std::vector<std::uint8_t>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

TEST(ClapState, TheEditorZoomFollowsTheValuesWhenOneIsKept) {
  const auto source = NewPlugin(false);
  Set(*source, {{kGainId, 6.0}, {kBypassId, 1.0}});
  // Nothing kept: the values' record alone, as the build before wrote it.
  const std::vector<std::uint8_t> values = *source->SaveState();
  const std::vector<std::uint8_t> zoomed = Joined(values, {'K', 'G', 'R', 'E', 1, 0, 250, 0});
  const std::vector<std::uint8_t> following = Joined(values, {'K', 'G', 'R', 'E', 1, 0, 0, 0});

  const auto target = NewPlugin(false);
  for (const auto& state : {zoomed, following, values}) {
    ASSERT_TRUE(target->LoadState(state, 5));
    EXPECT_EQ(Values(*target), Values(*source));
    EXPECT_EQ(target->SaveState(), state) << "the zoom is kept, or no longer kept";
  }

  // What follows the values and is no editor record of this version is
  // skipped: the values load, and no zoom is kept.
  const std::pair<const char*, std::vector<std::uint8_t>> skipped[] = {
      {"one byte more", Joined(values, {0})},
      {"a cut editor record", Joined(values, {'K', 'G', 'R', 'E', 1, 0, 250})},
      {"a byte after the editor record", Joined(zoomed, {0})},
      {"another magic", Joined(values, {'K', 'G', 'R', 'X', 1, 0, 250, 0})},
      {"a later version", Joined(values, {'K', 'G', 'R', 'E', 2, 0, 250, 0})},
      {"zoom 50 %", Joined(values, {'K', 'G', 'R', 'E', 1, 0, 50, 0})},
      {"the values twice", Joined(values, values)},
  };
  for (const auto& [what, bytes] : skipped) {
    ASSERT_TRUE(target->LoadState(zoomed));
    Set(*target, {{kGainId, -12.0}});
    EXPECT_TRUE(target->LoadState(bytes)) << what;
    EXPECT_EQ(Values(*target), Values(*source)) << what;
    EXPECT_EQ(target->SaveState(), values) << what;
  }
}

} // namespace
} // namespace glowrasp::clap_test
