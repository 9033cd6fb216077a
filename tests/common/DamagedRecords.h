// Saved records spoiled on purpose, named for the failure message, shared by
// the format boundaries' state tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace glowrasp::hosttest {

using TNamedRecords = std::vector<std::pair<std::string, std::vector<std::uint8_t>>>;

// `record` cut short at every length from `shortest` up.
inline TNamedRecords Cuts(const std::vector<std::uint8_t>& record, std::size_t shortest = 0) {
  TNamedRecords cuts;
  for (std::size_t length = shortest; length < record.size(); ++length)
    cuts.emplace_back("cut to " + std::to_string(length),
                      std::vector<std::uint8_t>(record.begin(), record.begin() + length));
  return cuts;
}

inline std::vector<std::uint8_t> Changed(std::vector<std::uint8_t> record, std::size_t at,
                                         std::uint8_t value) {
  record[at] = value;
  return record;
}

} // namespace glowrasp::hosttest
