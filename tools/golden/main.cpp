// glowrasp-golden: writes the stored output of the golden audio runs.
// Run it only when a change of the plug-in's sound is intended, and say so
// in the commit that updates the files.
#include "golden/GoldenRuns.h"
#include "hostlib/PluginHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  using namespace glowrasp;
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--plugin")) {
    std::fprintf(stderr, "usage: glowrasp-golden OUT_FOLDER [--plugin PATH]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string pluginPath = argc == 4 ? argv[3] : GLOWRASP_DEFAULT_PLUGIN;
  try {
    const auto library = std::make_shared<const host::PluginLibrary>(pluginPath);
    for (const auto& goldenCase : golden::goldenCases()) {
      const auto output = golden::renderGolden(library, goldenCase);
      const std::string path = folder + "/" + golden::goldenFileName(goldenCase);
      golden::writeFloats(path, output);
      float peak = 0.0f;
      for (const float x : output)
        peak = std::max(peak, std::abs(x));
      std::printf("%-13s %zu floats, peak %.6g -> %s\n", goldenCase.name, output.size(), peak,
                  path.c_str());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "glowrasp-golden: %s\n", e.what());
    return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}
