// Writes the bundle's moduleinfo.json: a build step, run on the build machine.
//
//   glowrasp-vst3-moduleinfo FILE
#include "vst3/Vst3ModuleInfo.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: glowrasp-vst3-moduleinfo FILE\n";
    return 2;
  }
  std::ofstream file(argv[1], std::ios::binary);
  file << Vst3ModuleInfoJson();
  file.close();
  if (!file) {
    std::cerr << "cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
