// Build step: writes manifest.ttl and the plug-in's description into the bundle
// folder given as the only argument.
#include "lv2/LV2BundleTurtle.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

bool WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out)
    return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s BUNDLE_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::filesystem::path bundle(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(bundle, error);
  const bool written = WriteFile(bundle / "manifest.ttl", ManifestTurtle()) &&
                       WriteFile(bundle / "KestruneGlowrasp.ttl", PluginTurtle());
  return written ? 0 : 1;
}
