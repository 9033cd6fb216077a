// A value the user typed for a parameter, in its display unit: "6", "-6.5",
// "6,5" (either decimal separator, whatever the locale), "-12 dB", "75 %",
// with spaces around. The unit, when given, must be the parameter's own.
#pragma once

#include <optional>
#include <string_view>

class TVSTParameter;

std::optional<double> ParseTypedValue(std::string_view text, std::string_view unit);

// The host value `text` stands for on `param` (its display label as the
// unit, its own unit-to-host mapping); none when the text is no value or the
// parameter has no mapping. Every format and the editor share this rule.
std::optional<float> TypedNormalizedValue(TVSTParameter& param, std::string_view text);
