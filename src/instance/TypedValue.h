// A value the user typed for a parameter, in its display unit: "6", "-6.5",
// "6,5" (either decimal separator, whatever the locale), "-12 dB", "75 %",
// with spaces around. The unit, when given, must be the parameter's own.
#pragma once

#include <optional>
#include <string_view>

std::optional<double> ParseTypedValue(std::string_view text, std::string_view unit);
