// glowrasp-fingerprint: what the built plug-in computes, reduced to digests
// that must be the same for the Linux library and both Windows DLLs: the
// kernel table, every display text and host value of every parameter step,
// every decibel gain the processing applies, the editor's pixels and the
// golden audio runs.
// Talks to the plug-in only through main.
//
//   glowrasp-fingerprint PLUGIN [--x87-53]
//
// --x87-53 runs everything with the x87 unit at 53-bit precision, as Windows
// starts its threads, and checks that the plug-in leaves it so.
#include "common/FloatingPointState.h"
#include "common/KernelSweep.h"
#include "common/Sha256.h"
#include "golden/GoldenRuns.h"
#include "hostlib/PluginHost.h"
#include "hostlib/PrivateRequests.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

namespace host = glowrasp::host;
namespace golden = glowrasp::golden;
namespace hosttest = glowrasp::hosttest;

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

// Every step of Out Gain as the processing applies it: with the drive at its
// minimum an impulse of 1.0 takes kernel 0, whose centre tap is exactly 1.0,
// so the output holds the gain itself (and the other taps scaled by it). Gain
// maps its steps through the same decibel function.
std::string DecibelGainDigest(const std::shared_ptr<const host::PluginLibrary>& library) {
  host::Plugin plugin(library);
  plugin.setSampleRate(44100.0f);
  plugin.setBlockSize(hosttest::kKernelLength);
  plugin.resume();
  plugin.setParameter(host::kGain, 0.0f);
  std::array<float, hosttest::kKernelLength> in{1.0f};
  std::array<float, hosttest::kKernelLength> out1{};
  std::array<float, hosttest::kKernelLength> out2{};
  std::array<float*, 2> inputs{in.data(), in.data()};
  std::array<float*, 2> outputs{out1.data(), out2.data()};
  ::test::Sha256 hash;
  for (int step = 0; step <= 1000000; ++step) {
    plugin.setParameter(host::kOutGain, static_cast<float>(step) / 1e6f);
    plugin.processReplacing(inputs.data(), outputs.data(), hosttest::kKernelLength);
    Add(hash, out1);
  }
  return hash.HexDigest();
}

// The editor as it renders offscreen, at the defaults and at other values:
// the skin's decoded pictures, the knob frames and the read-outs' texts.
std::string EditorDigest(const std::shared_ptr<const host::PluginLibrary>& library) {
  host::Plugin plugin(library);
  plugin.setSampleRate(44100.0f);
  plugin.setBlockSize(512);
  if (plugin.dispatch(effEditOpen) != 1)
    throw host::HostError("the editor does not open offscreen");
  constexpr int kWidth = 402;
  constexpr int kHeight = 250;
  std::vector<std::uint32_t> pixels(kWidth * kHeight);
  TEditorSnapshot snapshot{kWidth, kHeight, pixels.data()};
  ::test::Sha256 hash;
  for (const float value : {-1.0f, 0.0f, 0.3333f, 0.75f}) {
    if (value >= 0.0f)
      for (int index = 0; index < host::kParamCount; ++index)
        plugin.setParameter(index, value);
    if (plugin.privateRequest(kEditorSnapshotCode, &snapshot) != 1)
      throw host::HostError("the editor gives no snapshot");
    hash.Update(std::as_bytes(std::span(pixels)));
  }
  plugin.dispatch(effEditClose);
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
    std::printf("kernel-table %s\n", ::test::Sha256Hex(hosttest::SweepKernelTable(plugin)).c_str());
  }
  for (int index = 0; index < host::kParamCount; ++index)
    std::printf("parameter-%d %s\n", index, ParameterDigest(library, index).c_str());
  std::printf("decibel-gains %s\n", DecibelGainDigest(library).c_str());
  std::printf("editor %s\n", EditorDigest(library).c_str());
  for (const golden::GoldenCase& goldenCase : golden::goldenCases())
    std::printf("golden-%s %s\n", goldenCase.name, GoldenDigest(library, goldenCase).c_str());
  return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
  using namespace glowrasp::hosttest;
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
