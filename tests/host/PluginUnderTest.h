// What the VST 2.4-level host scenarios add to the shared support: the
// decimal separator the runner chose for the run.
#pragma once

#include "HostTestSupport.h"

#include <cstdlib>
#include <string>

namespace glowrasp::vst24 {

using hosttest::Library;

// The decimal separator of the locale the runner chose for this run.
inline char ExpectedSeparator() {
  const char* separator = std::getenv("GLOWRASP_DECIMAL_SEPARATOR");
  return separator && *separator ? *separator : '.';
}

// A display text written with '.' as it reads under the run's locale.
inline std::string Localised(std::string text) {
  for (char& c : text)
    if (c == '.')
      c = ExpectedSeparator();
  return text;
}

} // namespace glowrasp::vst24
