#include "toolkit/PlatformMessageBox.h"

#include <cstdio>

// Hosts on Linux often run without a terminal; standard error is still the one
// place every host keeps, so the text goes there when no dialog can be shown.
void PlatformShowMessageBox(std::string_view text) {
  std::fprintf(stderr, "Kestrune Glowrasp: %.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}
