// What the cross-format cases share: a fresh instance of the format under
// test, and test names that carry the format's name.
#pragma once

#include "FormatDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <tuple>

namespace formats {

inline void PrintTo(const TFormat& format, std::ostream* os) {
  *os << format.Name;
}

inline void PrintTo(const TEditEvent& e, std::ostream* os) {
  static const char* const kinds[] = {"begin", "perform", "end"};
  *os << kinds[e.Kind] << " " << e.Param;
  if (e.Kind == TEditEvent::Perform)
    *os << " = " << e.Value;
}

// A case run once per format.
class TFormatTest : public ::testing::TestWithParam<TFormat> {
protected:
  std::unique_ptr<TFormatDriver> Make() const { return GetParam().Make(); }
};

inline std::string FormatName(const ::testing::TestParamInfo<TFormat>& info) {
  return info.param.Name;
}

// A table of cases, each run once per format.
template <class TCase>
class TFormatCaseTest : public ::testing::TestWithParam<std::tuple<TFormat, TCase>> {
protected:
  const TFormat& Format() const { return std::get<0>(this->GetParam()); }
  const TCase& Case() const { return std::get<1>(this->GetParam()); }
  std::unique_ptr<TFormatDriver> Make() const { return Format().Make(); }
};

template <class TCase>
std::string FormatAndCaseName(const ::testing::TestParamInfo<std::tuple<TFormat, TCase>>& info) {
  return std::string(std::get<0>(info.param).Name) + "_" + std::get<1>(info.param).Name;
}

} // namespace formats
