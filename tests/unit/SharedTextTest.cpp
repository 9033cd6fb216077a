#include "params/SharedText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

TEST(SharedText, KeepsTheLastTextAndCutsLongOnes) {
  TSharedText text;
  EXPECT_EQ(text.Load().View(), "");
  text.Store("100.0");
  EXPECT_EQ(text.Load().View(), "100.0");
  text.Store(std::string(40, 'x'));
  EXPECT_EQ(text.Load().View(), std::string(31, 'x'));
  text.Store("");
  EXPECT_EQ(text.Load().View(), "");
}

// Two writers (the host's automation thread and the editor's knob) and a
// reader (the editor painting): every text read is one that was written whole.
TEST(SharedText, ReadersNeverSeeATornText) {
  TSharedText text;
  std::atomic<bool> stop{false};
  auto writer = [&](char letter, std::size_t length) {
    const std::string a(length, letter), b(length + 7, static_cast<char>(letter + 1));
    for (int i = 0; !stop.load(std::memory_order_relaxed); ++i)
      text.Store(i % 2 ? a : b);
  };
  std::thread first(writer, 'a', 5), second(writer, 'p', 20);
  int torn = 0;
  for (int i = 0; i < 200000; ++i) {
    const TShortText seen = text.Load();
    const std::string_view v = seen.View();
    if (v.empty())
      continue;
    const bool uniform = v.find_first_not_of(v.front()) == std::string_view::npos;
    const std::size_t expected = (v.front() == 'a' || v.front() == 'p')
                                     ? (v.front() == 'a' ? 5 : 20)
                                     : (v.front() == 'b' ? 12 : 27);
    torn += !uniform || v.size() != expected;
  }
  stop = true;
  first.join();
  second.join();
  EXPECT_EQ(torn, 0);
}
