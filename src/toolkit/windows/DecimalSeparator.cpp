#include "toolkit/DecimalSeparator.h"

#include <atomic>

#include <windows.h>

namespace {

// The user's regional settings, not the C library's locale, which hosts
// usually leave at "C".
char ReadSeparator() {
  char separator[4] = {};
  const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator,
                                    static_cast<int>(sizeof separator));
  // Separators of more than one byte cannot appear in the 8-bit texts.
  return length == 2 ? separator[0] : '.';
}

std::atomic<char> gSeparator{'\0'};

} // namespace

void RefreshUserDecimalSeparator() {
  gSeparator.store(ReadSeparator(), std::memory_order_relaxed);
}

char UserDecimalSeparator() {
  char separator = gSeparator.load(std::memory_order_relaxed);
  if (separator == '\0') {
    separator = ReadSeparator();
    gSeparator.store(separator, std::memory_order_relaxed);
  }
  return separator;
}
