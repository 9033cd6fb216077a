// What automation costs in each format, on driven material (noise peaking at
// +12 dBFS, Gain +12 dB): the same frames processed with no change, with a
// change of Gain every 64, 8 and 1 frames inside 512-frame blocks, and in
// 64-frame blocks with no change. Each format is driven as its hosts drive
// it: VST 2 and LV2 hosts cut the block at each change, VST3 and CLAP hosts
// pass the changes with their frames in one call. The summary gives every
// case as a ratio to the same format's unautomated 512-frame run.
#include "ClapHost.h"
#include "Vst3Host.h"
#include "hostlib/PluginHost.h"
#include "lv2/LV2Ports.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lv2/core/lv2.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kBlock = 512;
constexpr int kMaterialFrames = 64 * kBlock;
// Gain +12 dB and a step below it, so that every change is one.
constexpr double kDrive[2] = {0.625, 0.624};

struct TMaterial {
  std::vector<float> Left, Right;
};

const TMaterial& Material() {
  static const TMaterial material = [] {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> sample(-4.0f, 4.0f);
    TMaterial m{std::vector<float>(kMaterialFrames), std::vector<float>(kMaterialFrames)};
    for (int t = 0; t < kMaterialFrames; ++t) {
      m.Left[t] = sample(random);
      m.Right[t] = sample(random);
    }
    return m;
  }();
  return material;
}

// One format's instance. `every` is the frames between changes (0: none).
class TDriver {
public:
  virtual ~TDriver() = default;
  virtual void Block(const float* inL, const float* inR, float* outL, float* outR, int frames,
                     int every) = 0;
};

class TVst2Driver final : public TDriver {
public:
  TVst2Driver() : FPlugin(std::make_shared<glowrasp::host::PluginLibrary>(GLOWRASP_PLUGIN_PATH)) {
    FPlugin.setSampleRate(48000.0f);
    FPlugin.setBlockSize(kBlock);
    FPlugin.resume();
    FPlugin.setParameter(0, static_cast<float>(kDrive[0]));
  }
  void Block(const float* inL, const float* inR, float* outL, float* outR, int frames,
             int every) override {
    const int span = every > 0 ? every : frames;
    for (int at = 0; at < frames; at += span) {
      if (every > 0)
        FPlugin.setParameter(0, static_cast<float>(kDrive[(at / span) & 1]));
      float* in[2] = {const_cast<float*>(inL + at), const_cast<float*>(inR + at)};
      float* out[2] = {outL + at, outR + at};
      FPlugin.processReplacing(in, out, span);
    }
  }

private:
  glowrasp::host::Plugin FPlugin;
};

class TLv2Driver final : public TDriver {
public:
  TLv2Driver() : FLibrary(dlopen(GLOWRASP_LV2_DSP_PATH, RTLD_NOW | RTLD_LOCAL)) {
    const auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(FLibrary, "lv2_descriptor"));
    FDescriptor = entry(0);
    const LV2_Feature* const none[] = {nullptr};
    FHandle = FDescriptor->instantiate(FDescriptor, 48000.0, GLOWRASP_LV2_BUNDLE_PATH, none);
    for (std::uint32_t port = lpGain; port < lpCount; ++port)
      FDescriptor->connect_port(FHandle, port, &FControls[port]);
    FControls[lpGain] = 12.0f;
    FControls[lpIntensity] = 100.0f;
    FControls[lpEnabled] = 1.0f;
    FDescriptor->activate(FHandle);
  }
  ~TLv2Driver() override {
    FDescriptor->deactivate(FHandle);
    FDescriptor->cleanup(FHandle);
    dlclose(FLibrary);
  }
  void Block(const float* inL, const float* inR, float* outL, float* outR, int frames,
             int every) override {
    const int span = every > 0 ? every : frames;
    for (int at = 0; at < frames; at += span) {
      if (every > 0)
        FControls[lpGain] = static_cast<float>((kDrive[(at / span) & 1] - 0.5) * 96.0);
      FDescriptor->connect_port(FHandle, lpInL, const_cast<float*>(inL + at));
      FDescriptor->connect_port(FHandle, lpInR, const_cast<float*>(inR + at));
      FDescriptor->connect_port(FHandle, lpOutL, outL + at);
      FDescriptor->connect_port(FHandle, lpOutR, outR + at);
      FDescriptor->run(FHandle, static_cast<std::uint32_t>(span));
    }
  }

private:
  void* FLibrary;
  const LV2_Descriptor* FDescriptor = nullptr;
  LV2_Handle FHandle = nullptr;
  float FControls[lpCount] = {};
};

class TVst3Driver final : public TDriver {
public:
  TVst3Driver() : FModule(GLOWRASP_VST3_BINARY_PATH) {
    FInstance = std::make_unique<vst3host::TPluginInstance>(FModule, FApplication);
    FInstance->Start(48000.0, kBlock);
    for (const int every : {0, 64, 8, 1}) {
      auto& changes = FChanges[every];
      changes = std::make_unique<vst3host::TParameterChanges>();
      changes->Add(0, 0, kDrive[0]);
      for (int at = every; every > 0 && at < kBlock; at += every)
        changes->Add(0, at, kDrive[(at / every) & 1]);
    }
  }
  void Block(const float* inL, const float* inR, float* outL, float* outR, int frames,
             int every) override {
    const float* in[2] = {inL, inR};
    float* out[2] = {outL, outR};
    FInstance->Process(const_cast<float* const*>(in), out, frames,
                       every > 0 ? FChanges[every]->Changes() : nullptr);
  }

private:
  vst3host::THostApplication FApplication;
  vst3host::TModule FModule;
  std::unique_ptr<vst3host::TPluginInstance> FInstance;
  std::map<int, std::unique_ptr<vst3host::TParameterChanges>> FChanges;
};

class TClapDriver final : public TDriver {
public:
  TClapDriver() : FLibrary(GLOWRASP_CLAP_PATH), FHost(FLibrary, "com.kestrune.glowrasp") {
    FHost.Activate(48000.0, 1, kBlock);
    FHost.StartProcessing();
    for (const int every : {0, 64, 8, 1}) {
      auto& events = FEvents[every];
      events = std::make_unique<glowrasp::clap_test::TInputEvents>();
      events->AddParamValue(0, 0, 12.0);
      for (int at = every; every > 0 && at < kBlock; at += every)
        events->AddParamValue(static_cast<std::uint32_t>(at), 0,
                              (kDrive[(at / every) & 1] - 0.5) * 96.0);
    }
  }
  void Block(const float* inL, const float* inR, float* outL, float* outR, int frames,
             int every) override {
    FHost.ProcessStereo(const_cast<float*>(inL), const_cast<float*>(inR), outL, outR,
                        static_cast<std::uint32_t>(frames),
                        every > 0 ? FEvents[every].get() : nullptr);
  }

private:
  glowrasp::clap_test::TClapLibrary FLibrary;
  glowrasp::clap_test::TClapHost FHost;
  std::map<int, std::unique_ptr<glowrasp::clap_test::TInputEvents>> FEvents;
};

void Run(benchmark::State& state, const std::function<std::unique_ptr<TDriver>()>& make, int block,
         int every) {
  const std::unique_ptr<TDriver> driver = make();
  const TMaterial& m = Material();
  std::vector<float> outL(block), outR(block);
  for (auto _ : state) {
    for (int t = 0; t < kMaterialFrames; t += block) {
      driver->Block(m.Left.data() + t, m.Right.data() + t, outL.data(), outR.data(), block, every);
      benchmark::DoNotOptimize(outL.data());
      benchmark::ClobberMemory();
    }
  }
  state.counters["ns/frame"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kMaterialFrames,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

struct TCase {
  const char* Name;
  int Block;
  int Every;
};
constexpr TCase kCases[] = {{"block 512", 512, 0},
                            {"block 64", 64, 0},
                            {"change every 64", 512, 64},
                            {"change every 8", 512, 8},
                            {"change every frame", 512, 1}};

// Medians of ns/frame, then each case against its format's block-512 run.
class TSummary : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports)
      if (run.aggregate_name == "median")
        if (const auto c = run.counters.find("ns/frame"); c != run.counters.end())
          FMedians[run.run_name.function_name] = c->second.value * 1e9;
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-8s %-20s %12s %8s\n", "format", "case", "ns/frame", "ratio");
    for (const char* format : {"VST2", "LV2", "VST3", "CLAP"}) {
      const auto base = FMedians.find(std::string(format) + "/block 512");
      for (const TCase& c : kCases) {
        const auto it = FMedians.find(std::string(format) + "/" + c.Name);
        if (it == FMedians.end() || base == FMedians.end())
          continue;
        std::printf("%-8s %-20s %12.2f %7.2fx\n", format, c.Name, it->second,
                    it->second / base->second);
      }
    }
  }

private:
  std::map<std::string, double> FMedians;
};

void Register() {
  const std::pair<const char*, std::function<std::unique_ptr<TDriver>()>> formats[] = {
      {"VST2", [] { return std::make_unique<TVst2Driver>(); }},
      {"LV2", [] { return std::make_unique<TLv2Driver>(); }},
      {"VST3", [] { return std::make_unique<TVst3Driver>(); }},
      {"CLAP", [] { return std::make_unique<TClapDriver>(); }},
  };
  for (const auto& [format, make] : formats)
    for (const TCase& c : kCases)
      benchmark::RegisterBenchmark(
          (std::string(format) + "/" + c.Name).c_str(),
          [factory = make, c](benchmark::State& s) { Run(s, factory, c.Block, c.Every); })
          ->Unit(benchmark::kMillisecond)
          ->Repetitions(5)
          ->ReportAggregatesOnly(true);
}

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Register();
  TSummary summary;
  benchmark::RunSpecifiedBenchmarks(&summary);
  benchmark::Shutdown();
  return 0;
}
