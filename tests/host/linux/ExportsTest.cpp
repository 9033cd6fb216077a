// The shared object's dynamic symbol table, as the loader sees it. The
// Windows runner checks the DLLs' export tables the same way.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

std::set<std::string> ExportedSymbols() {
  std::set<std::string> names;
  const std::string command = std::string("nm -D --defined-only ") + GLOWRASP_PLUGIN_PATH;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe)
    return names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char address[64], type[8], name[400];
    if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3)
      names.insert(name);
  }
  pclose(pipe);
  return names;
}

TEST(Library, ExportsOnlyMainAndVstPluginMain) {
  EXPECT_EQ(ExportedSymbols(), (std::set<std::string>{"VSTPluginMain", "main"}));
}

} // namespace
