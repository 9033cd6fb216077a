// The processor against the straightforward one it replaced, on several
// seconds of each kind of material, in 512-frame host blocks. The summary at
// the end gives each case's median time per stereo frame for both and the
// ratio, measured in the same run.
#include "shaper/KernelTable.h"
#include "shaper/ShaperUnit.h"

#include "../tests/reference/ReferenceShaper.h"

#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t BlockFrames = 512;
// Five seconds at 48 kHz, a multiple of the block.
constexpr std::size_t MaterialFrames = 469 * BlockFrames;

struct TMaterial {
  const char* Name;
  float DriveGain;
  std::vector<float> Left, Right;
};

// Music-like: a few partials under slow envelopes, peaks about 0.7.
float Music(std::size_t t, float Detune) {
  const float time = static_cast<float>(t) / 48000.0f;
  const float envelope = 0.6f + 0.4f * std::sin(6.2831853f * 0.7f * time);
  return envelope * (0.35f * std::sin(6.2831853f * 220.0f * Detune * time) +
                     0.2f * std::sin(6.2831853f * 331.0f * time) +
                     0.1f * std::sin(6.2831853f * 1250.0f * Detune * time));
}

std::vector<TMaterial> MakeMaterials() {
  std::mt19937 random(1);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::normal_distribution<float> normal(0.0f, 1.0f);
  std::vector<TMaterial> materials;
  const auto add = [&](const char* Name, float Drive, auto&& Sample) {
    TMaterial m{Name, Drive, std::vector<float>(MaterialFrames),
                std::vector<float>(MaterialFrames)};
    for (std::size_t t = 0; t < MaterialFrames; ++t) {
      m.Left[t] = Sample(t, 1.0f);
      m.Right[t] = Sample(t, 1.003f);
    }
    materials.push_back(std::move(m));
  };
  add("quiet music", 1.0f, [](std::size_t t, float d) { return Music(t, d); });
  // Driven magnitudes between 1 and 1.25: every kernel of the table equally
  // likely, so nearly every look-up misses the cache.
  add("driven, spread over the table", 1.0f, [&](std::size_t, float) {
    return (random() % 2 ? 1.0f : -1.0f) * (1.0f + 0.25f * unit(random));
  });
  // +12 dB of drive on noise: most samples on the last kernel.
  add("driven noise", 3.98107f, [&](std::size_t, float) { return 0.5f * normal(random); });
  add("subnormal", 1.0f, [&](std::size_t, float) {
    return std::bit_cast<float>(static_cast<std::uint32_t>(random()) & 0x807FFFFFu);
  });
  add("NaN/Inf every 100 samples", 1.0f, [](std::size_t t, float d) {
    const float special[] = {std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()};
    return t % 100 == 99 ? special[(t / 100) % 3] : Music(t, d);
  });
  return materials;
}

const std::vector<TMaterial>& Materials() {
  static const std::vector<TMaterial> materials = MakeMaterials();
  return materials;
}

template <class TUnit>
void Process(benchmark::State& State, const TMaterial& Material, bool Mono) {
  auto unit = std::make_unique<TUnit>();
  unit->DriveGain = Material.DriveGain;
  unit->Intensity = 1.0f;
  unit->OutputGain = 1.0f;
  std::vector<float> out1(BlockFrames);
  std::vector<float> out2(BlockFrames);
  for (auto _ : State) {
    for (std::size_t t = 0; t < MaterialFrames; t += BlockFrames) {
      if (Mono)
        unit->ProcessMono(Material.Left.data() + t, out1.data(), out2.data(), BlockFrames, true);
      else
        unit->ProcessStereo(Material.Left.data() + t, Material.Right.data() + t, out1.data(),
                            out2.data(), BlockFrames, true);
      benchmark::DoNotOptimize(out1.data());
      benchmark::DoNotOptimize(out2.data());
      benchmark::ClobberMemory();
    }
  }
  State.counters["ns/frame"] =
      benchmark::Counter(static_cast<double>(State.iterations()) * MaterialFrames,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BuildKernelTable(benchmark::State& State) {
  for (auto _ : State) {
    const TKernelTable table;
    benchmark::DoNotOptimize(table.Rows());
  }
}

// Keeps the median of each case's ns/frame and prints the comparison.
class TSummary : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& Reports) override {
    ConsoleReporter::ReportRuns(Reports);
    for (const Run& run : Reports)
      if (run.aggregate_name == "median") {
        const auto counter = run.counters.find("ns/frame");
        if (counter != run.counters.end())
          FMedians[run.run_name.function_name] = counter->second.value * 1e9;
        else
          FMedians[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-42s %12s %12s %8s\n", "case (ns per frame, medians)", "reference", "now",
                "ratio");
    for (const auto& [name, now] : FMedians) {
      const std::string prefix = "Now/";
      if (name.rfind(prefix, 0) != 0)
        continue;
      const std::string what = name.substr(prefix.size());
      const auto reference = FMedians.find("Reference/" + what);
      if (reference == FMedians.end())
        continue;
      std::printf("%-42s %12.2f %12.2f %7.1fx\n", what.c_str(), reference->second, now,
                  reference->second / now);
    }
    const auto build = FMedians.find("BuildKernelTable");
    if (build != FMedians.end())
      std::printf("kernel table build: %.2f ms\n", build->second);
  }

private:
  std::map<std::string, double> FMedians;
};

void Register() {
  for (const TMaterial& material : Materials()) {
    for (const bool mono : {false, true}) {
      if (mono && std::string(material.Name) != "driven, spread over the table" &&
          std::string(material.Name) != "quiet music")
        continue;
      const std::string what = std::string(mono ? "mono " : "stereo ") + material.Name;
      benchmark::RegisterBenchmark(
          ("Reference/" + what).c_str(),
          [&material, mono](benchmark::State& s) { Process<TReferenceShaper>(s, material, mono); })
          ->Unit(benchmark::kMillisecond)
          ->Repetitions(5)
          ->ReportAggregatesOnly(true);
      benchmark::RegisterBenchmark(
          ("Now/" + what).c_str(),
          [&material, mono](benchmark::State& s) { Process<TShaperUnit>(s, material, mono); })
          ->Unit(benchmark::kMillisecond)
          ->Repetitions(5)
          ->ReportAggregatesOnly(true);
    }
  }
  benchmark::RegisterBenchmark("BuildKernelTable", BuildKernelTable)
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
