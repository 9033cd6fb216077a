// Short texts held by value: a parameter's display text travels from the
// definition to the host's buffer or the editor without an allocation.
#pragma once

#include <array>
#include <cstddef>
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
