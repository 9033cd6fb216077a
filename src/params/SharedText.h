// Short texts that one thread rewrites while another reads them: the host's
// automation thread renews a parameter's display text while the editor paints
// it. Readers never wait, never see a torn text, and nothing is allocated.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string_view>

// A zero-terminated text of at most Capacity - 1 characters, held by value.
template <std::size_t Capacity>
class TFixedText {
public:
  TFixedText() = default;
  TFixedText(std::string_view text) { Assign(text); } // NOLINT: texts convert freely

  void Assign(std::string_view text) {
    FLength = text.size() < Capacity ? text.size() : Capacity - 1;
    if (FLength > 0)
      std::memcpy(FChars.data(), text.data(), FLength);
    FChars[FLength] = '\0';
  }
  const char* c_str() const { return FChars.data(); }
  std::string_view View() const { return {FChars.data(), FLength}; }
  std::size_t Length() const { return FLength; }
  bool operator==(const TFixedText& other) const { return View() == other.View(); }

private:
  std::array<char, Capacity> FChars{};
  std::size_t FLength = 0;
};

using TShortText = TFixedText<32>;

class TSharedText {
public:
  void Store(std::string_view text);
  TShortText Load() const;

private:
  static constexpr std::size_t WordCount = 4; // 32 bytes of text
  struct TSlot {
    std::atomic<std::uint32_t> Sequence{0}; // odd while a writer is busy
    std::array<std::atomic<std::uint64_t>, WordCount> Words{};
  };
  // Writers take turns over several slots, so a reader rarely finds the slot it
  // reads being rewritten; two writers never share one.
  std::array<TSlot, 4> FSlots;
  std::atomic<std::uint32_t> FCurrent{0};
  std::atomic<std::uint32_t> FNextSlot{1};
};
