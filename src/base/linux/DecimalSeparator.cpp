#include "base/PlatformDecimalSeparator.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>

// Hosts usually keep the "C" locale for themselves; the user's choice lives in
// the environment (LC_ALL, LC_NUMERIC, LANG), which newlocale reads without
// touching the process's own locale.
char ReadUserDecimalSeparator() {
  const locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr))
    return '.';
  const char* radix = nl_langinfo_l(RADIXCHAR, user);
  const char separator = (radix && radix[0] && !radix[1]) ? radix[0] : '.';
  freelocale(user);
  return separator;
}
