#include "params/TypedValue.h"

#include "params/VSTParameter.h"

#include <cctype>
#include <cmath>

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Digits with at most one separator; read by hand, because the C library's
// conversions follow the process's locale, which belongs to the host. The
// digits and the power of ten are exact up to 15 digits, so the quotient is
// rounded once.
std::optional<double> ParseNumber(std::string_view text) {
  double sign = 1.0;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    sign = text.front() == '-' ? -1.0 : 1.0;
    text.remove_prefix(1);
  }
  double digits = 0.0;
  double divisor = 1.0;
  bool anyDigit = false;
  bool fraction = false;
  for (const char c : text) {
    if (IsDigit(c)) {
      anyDigit = true;
      digits = digits * 10.0 + (c - '0');
      if (fraction)
        divisor *= 10.0;
    } else if ((c == '.' || c == ',') && !fraction) {
      fraction = true;
    } else {
      return std::nullopt;
    }
  }
  const double value = sign * (digits / divisor);
  if (!anyDigit || !std::isfinite(value))
    return std::nullopt;
  return value;
}

} // namespace

std::optional<double> ParseTypedValue(std::string_view text, std::string_view unit) {
  text = Trimmed(text);
  if (!unit.empty() && text.size() >= unit.size() &&
      SameIgnoringCase(text.substr(text.size() - unit.size()), unit))
    text = Trimmed(text.substr(0, text.size() - unit.size()));
  return ParseNumber(text);
}

std::optional<float> TypedNormalizedValue(TVSTParameter& param, std::string_view text) {
  const std::optional<double> value = ParseTypedValue(text, param.DisplayLabel());
  if (!value || !param.OnUnitToNormalized())
    return std::nullopt;
  return param.OnUnitToNormalized()(&param, *value);
}
