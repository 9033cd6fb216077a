// glowrasp-fingerprint: what the built plug-in computes, reduced to digests
// that must be the same for the Linux library and both Windows DLLs: the
// kernel table, every display text and host value of every parameter step,
// and the golden audio runs. Talks to the plug-in only through main.
//
//   glowrasp-fingerprint PLUGIN [--x87-53]
//
// --x87-53 runs everything with the x87 unit at 53-bit precision, as Windows
// starts its threads, and checks that the plug-in leaves it so.
#include "../common/Sha256.h"
#include "FloatingPointState.h"
#include "KernelSweep.h"
#include "golden/GoldenRuns.h"
#include "hostlib/PluginHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

namespace host = glowrasp::host;
namespace golden = glowrasp::golden;
namespace wintest = glowrasp::wintest;

template <class T>
void Add(::test::Sha256& hash, const T& value) {
  hash.Update(std::as_bytes(std::span(&value, 1)));
}

// Every integer step of the parameter through setParameter, with the text and
// the float the host reads back.
std::string ParameterDigest(const std::shared_ptr<const host::PluginLibrary>& library, int index) {
  host::Plugin plugin(library);
  ::test::Sha256 hash;
  for (int step = 0; step <= 1000000; ++step) {
    plugin.setParameter(index, static_cast<float>(step) / 1e6f);
    const std::string text = plugin.paramDisplay(index);
    hash.Update(std::as_bytes(std::span(text.c_str(), text.size() + 1)));
    Add(hash, plugin.getParameter(index));
  }
  return hash.HexDigest();
}

std::string GoldenDigest(const std::shared_ptr<const host::PluginLibrary>& library,
                         const golden::GoldenCase& goldenCase) {
  const std::vector<float> output = golden::renderGolden(library, goldenCase);
  return ::test::Sha256Hex(std::as_bytes(std::span(output)));
}

int Run(const std::string& pluginPath) {
  const auto library = std::make_shared<const host::PluginLibrary>(pluginPath);
  {
    host::Plugin plugin(library);
    std::printf("kernel-table %s\n", ::test::Sha256Hex(wintest::SweepKernelTable(plugin)).c_str());
  }
  for (int index = 0; index < host::kParamCount; ++index)
    std::printf("parameter-%d %s\n", index, ParameterDigest(library, index).c_str());
  for (const golden::GoldenCase& goldenCase : golden::goldenCases())
    std::printf("golden-%s %s\n", goldenCase.name, GoldenDigest(library, goldenCase).c_str());
  return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
  using namespace glowrasp::wintest;
  if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--x87-53") != 0)) {
    std::fprintf(stderr, "usage: glowrasp-fingerprint PLUGIN [--x87-53]\n");
    return 2;
  }
  if (argc == 3)
    SetX87ControlWord(kWindowsThreadControlWord);
  const std::uint16_t controlWord = X87ControlWord();
  const std::uint32_t mxcsr = Mxcsr();
  try {
    const int result = Run(argv[1]);
    if (X87ControlWord() != controlWord || (Mxcsr() & kMxcsrControl) != (mxcsr & kMxcsrControl)) {
      std::fprintf(stderr, "glowrasp-fingerprint: the plug-in changed the caller's "
                           "floating-point state\n");
      return EXIT_FAILURE;
    }
    return result;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "glowrasp-fingerprint: %s\n", error.what());
    return EXIT_FAILURE;
  }
}
