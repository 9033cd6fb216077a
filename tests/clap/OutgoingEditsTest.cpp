// The editor's gestures as the host receives them, however the user's steps
// and the host's collecting calls interleave.
#include "clap/ClapOutgoingEdits.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// b = begin, e = end, a digit = a value of that many tenths; | = the host collects.
std::string SentFor(const std::string& script) {
  TClapOutgoingEdits edits;
  std::string sent;
  const auto collect = [&] {
    edits.Drain([&](std::int32_t index, TClapEditStep step, double value) {
      std::ostringstream item;
      item << index;
      if (step == TClapEditStep::Begin)
        item << 'b';
      else if (step == TClapEditStep::End)
        item << 'e';
      else
        item << '=' << static_cast<int>(value * 10 + 0.5);
      sent += item.str() + ' ';
    });
    sent += "| ";
  };
  for (const char c : script) {
    if (c == 'b')
      edits.Begin(1);
    else if (c == 'e')
      edits.End(1);
    else if (c == '|')
      collect();
    else
      edits.Perform(1, (c - '0') / 10.0);
  }
  collect();
  return sent;
}

TEST(ClapOutgoingEdits, GesturesReachTheHostWholeAndInOrder) {
  const struct {
    const char* Script;
    const char* Sent;
  } cases[] = {
      {"b3e", "1b 1=3 1e | "},
      {"b|3|4|e", "1b | 1=3 | 1=4 | 1e | "},
      {"b345e", "1b 1=5 1e | "},
      // A second gesture before the host heard the first one end continues it.
      {"b3eb4e", "1b 1=4 1e | "},
      {"b3e|b4e", "1b 1=3 1e | 1b 1=4 1e | "},
      {"b3|eb4|e", "1b 1=3 | 1=4 | 1e | "},
      {"", "| "},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SentFor(c.Script), c.Sent) << c.Script;
}

TEST(ClapOutgoingEdits, IgnoresIndicesOutsideTheParameters) {
  TClapOutgoingEdits edits;
  for (const std::int32_t index : {-1, TEffectInstance::kParameterCount}) {
    edits.Begin(index);
    edits.Perform(index, 0.5);
    edits.End(index);
  }
  int sent = 0;
  edits.Drain([&](std::int32_t, TClapEditStep, double) { ++sent; });
  EXPECT_EQ(sent, 0);
}

} // namespace
