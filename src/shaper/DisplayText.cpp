#include "shaper/DisplayText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

TShortText FormatOneDecimal(long double value, char separator) {
  if (!std::isfinite(value))
    return TShortText(std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf"));

  // Parameter texts stay far below this; beyond it the digits below would not fit.
  if (std::fabs(value) >= 1e15L) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0Lf", value);
    return TShortText(text);
  }

  // 18 significant digits, d.ddddddddddddddddde±x; the separator the C library
  // writes depends on the process's locale, so only digits are read back.
  char scientific[48];
  std::snprintf(scientific, sizeof scientific, "%.17Le", std::fabs(value));
  int digits[18];
  int count = 0;
  const char* p = scientific;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9' && count < 18)
      digits[count++] = *p - '0';
  const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;

  // digits[i] has the place value 10^(exponent - i): tenths sit at exponent + 1.
  long long tenths = 0;
  for (int i = 0; i <= exponent + 1 && i < count; ++i)
    tenths = tenths * 10 + digits[i];
  for (int i = count; i <= exponent + 1; ++i)
    tenths *= 10;
  const int next = exponent + 2;
  if (next >= 0 && next < count && digits[next] >= 5)
    ++tenths;

  char text[48];
  std::snprintf(text, sizeof text, "%s%lld%c%lld", (value < 0 && tenths != 0) ? "-" : "",
                tenths / 10, separator, tenths % 10);
  return TShortText(text);
}
