#include "HostTestSupport.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>
#include <thread>

namespace glowrasp::hosttest {

// From the environment, as the plug-in reads it; the process's own locale
// stays "C".
char UserDecimalSeparator() {
  const locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr))
    return '.';
  const char* radix = nl_langinfo_l(RADIXCHAR, user);
  const char separator = (radix && radix[0] && !radix[1]) ? radix[0] : '.';
  freelocale(user);
  return separator;
}

void RunOnNewThread(const std::function<void()>& body) {
  std::thread(body).join();
}

} // namespace glowrasp::hosttest
