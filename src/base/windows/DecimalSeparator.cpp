#include "base/PlatformDecimalSeparator.h"

#include <windows.h>

// The user's regional settings, not the C library's locale, which hosts
// usually leave at "C".
char ReadUserDecimalSeparator() {
  char separator[4] = {};
  const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator,
                                    static_cast<int>(sizeof separator));
  // Separators of more than one byte cannot appear in the 8-bit texts.
  return length == 2 ? separator[0] : '.';
}
