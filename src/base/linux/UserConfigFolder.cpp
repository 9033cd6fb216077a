#include "base/UserConfigFolder.h"

#include <cstdlib>

namespace {

// A relative path would depend on the host's working folder, so it is
// ignored, as desktop programs ignore it.
std::filesystem::path AbsoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value || value[0] != '/')
    return {};
  return value;
}

} // namespace

std::filesystem::path UserConfigFolder() {
  if (std::filesystem::path folder = AbsoluteVariable("XDG_CONFIG_HOME"); !folder.empty())
    return folder;
  if (std::filesystem::path home = AbsoluteVariable("HOME"); !home.empty())
    return home / ".config";
  return {};
}
