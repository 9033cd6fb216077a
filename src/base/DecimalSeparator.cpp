#include "base/DecimalSeparator.h"

#include "base/PlatformDecimalSeparator.h"

#include <atomic>

namespace {

std::atomic<char> gSeparator{'\0'};

} // namespace

void RefreshUserDecimalSeparator() {
  gSeparator.store(ReadUserDecimalSeparator(), std::memory_order_relaxed);
}

char UserDecimalSeparator() {
  char separator = gSeparator.load(std::memory_order_relaxed);
  if (separator == '\0') {
    separator = ReadUserDecimalSeparator();
    gSeparator.store(separator, std::memory_order_relaxed);
  }
  return separator;
}
