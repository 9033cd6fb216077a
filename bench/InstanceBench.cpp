// What an instance costs a host: CPU time from main to the first processed
// block and the memory it keeps, for the first instance (which builds the
// kernel table) and for each further one, up to 50 live instances.
//
//   glowrasp_instance_bench PLUGIN.so
#include "vst/DAEffect.h"

#include <dlfcn.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <vector>

namespace {

constexpr int InstanceCount = 50;
constexpr int BlockFrames = 512;

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

double CpuMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double ResidentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024.0;
}

double HeapKilobytes() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd) / 1024.0;
}

AEffect* ReadyInstance(VstPluginMainProc Main) {
  AEffect* effect = Main(&HostCallback);
  if (!effect)
    return nullptr;
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, BlockFrames, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  static std::array<float, BlockFrames> in{};
  static std::array<float, BlockFrames> out1{};
  static std::array<float, BlockFrames> out2{};
  std::array<float*, 2> inputs{in.data(), in.data()};
  std::array<float*, 2> outputs{out1.data(), out2.data()};
  effect->processReplacing(effect, inputs.data(), outputs.data(), BlockFrames);
  return effect;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: glowrasp_instance_bench PLUGIN\n");
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  const auto Main = reinterpret_cast<VstPluginMainProc>(dlsym(library, "main"));
  if (!Main) {
    std::fprintf(stderr, "no main in %s\n", argv[1]);
    return 1;
  }

  const double residentBefore = ResidentKilobytes();
  const double heapBefore = HeapKilobytes();
  std::vector<AEffect*> effects;
  std::vector<double> milliseconds;
  std::vector<double> heapSteps;
  for (int i = 0; i < InstanceCount; ++i) {
    const double heap = HeapKilobytes();
    const double start = CpuMilliseconds();
    AEffect* effect = ReadyInstance(Main);
    milliseconds.push_back(CpuMilliseconds() - start);
    heapSteps.push_back(HeapKilobytes() - heap);
    if (!effect) {
      std::fprintf(stderr, "main gave no instance\n");
      return 1;
    }
    effects.push_back(effect);
  }
  const double residentAll = ResidentKilobytes() - residentBefore;
  const double heapAll = HeapKilobytes() - heapBefore;

  std::vector<double> further(milliseconds.begin() + 1, milliseconds.end());
  std::sort(further.begin(), further.end());
  std::vector<double> furtherHeap(heapSteps.begin() + 1, heapSteps.end());
  std::sort(furtherHeap.begin(), furtherHeap.end());
  std::printf("first instance ready: %.2f ms CPU, %.0f KB heap\n", milliseconds[0], heapSteps[0]);
  std::printf("further instances ready: median %.3f ms CPU (max %.3f), median %.0f KB heap "
              "(max %.0f)\n",
              further[further.size() / 2], further.back(), furtherHeap[furtherHeap.size() / 2],
              furtherHeap.back());
  std::printf("%d live instances: %.0f KB heap, %.0f KB resident\n", InstanceCount, heapAll,
              residentAll);

  for (AEffect* effect : effects)
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  dlclose(library);
  return 0;
}
