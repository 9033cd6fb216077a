// What the CLAP state adds to the cases every format passes: the record
// round-trips through streams of any chunk size, the host is asked to read
// the values again only after a load that took, and streams that fail fail
// the call.
#include "ClapTestSupport.h"

#include <gtest/gtest.h>

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
    const std::vector<std::uint8_t> cut(whole->begin(), whole->end() - 1);
    EXPECT_FALSE(target->LoadState(cut, chunk));
    EXPECT_EQ(target->ParamRescans, 1) << "nor after a record it refused";
  }
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

} // namespace
} // namespace glowrasp::clap_test
