#include "shaper/ShaperUnit.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

constexpr std::int32_t BlockFrames = 512;

std::vector<float> Noise(float Peak, unsigned Seed) {
  std::mt19937 random(Seed);
  std::uniform_real_distribution<float> sample(-Peak, Peak);
  std::vector<float> noise(BlockFrames);
  for (float& x : noise)
    x = sample(random);
  return noise;
}

// One unit for all runs: the table is built once, outside the timed loops.
TShaperUnit& Unit(float Drive) {
  static const auto unit = std::make_unique<TShaperUnit>();
  unit->DriveGain = Drive;
  unit->Intensity = 1.0f;
  unit->OutputGain = 1.0f;
  return *unit;
}

void ProcessStereo(benchmark::State& State, float Drive, float Peak) {
  TShaperUnit& unit = Unit(Drive);
  const auto in1 = Noise(Peak, 1);
  const auto in2 = Noise(Peak, 2);
  std::vector<float> out1(BlockFrames);
  std::vector<float> out2(BlockFrames);
  for (auto _ : State) {
    unit.ProcessStereo(in1.data(), in2.data(), out1.data(), out2.data(), BlockFrames, true);
    benchmark::DoNotOptimize(out1.data());
    benchmark::DoNotOptimize(out2.data());
    benchmark::ClobberMemory();
  }
  State.SetItemsProcessed(State.iterations() * BlockFrames);
  State.counters["ns/frame"] =
      benchmark::Counter(static_cast<double>(State.iterations()) * BlockFrames,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Every driven sample stays under full scale: kernel 0 throughout.
void StereoQuiet(benchmark::State& State) {
  ProcessStereo(State, 1.0f, 0.9f);
}

// Driven magnitudes up to 2.5: kernel indices spread over the whole table, so
// the look-ups miss the cache as they would on heavily driven material.
void StereoDriven(benchmark::State& State) {
  ProcessStereo(State, 2.5f, 1.0f);
}

void MonoDriven(benchmark::State& State) {
  TShaperUnit& unit = Unit(2.5f);
  const auto in = Noise(1.0f, 3);
  std::vector<float> out1(BlockFrames);
  std::vector<float> out2(BlockFrames);
  for (auto _ : State) {
    unit.ProcessMono(in.data(), out1.data(), out2.data(), BlockFrames, true);
    benchmark::DoNotOptimize(out1.data());
    benchmark::DoNotOptimize(out2.data());
    benchmark::ClobberMemory();
  }
  State.SetItemsProcessed(State.iterations() * BlockFrames);
  State.counters["ns/frame"] =
      benchmark::Counter(static_cast<double>(State.iterations()) * BlockFrames,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BuildKernelTable(benchmark::State& State) {
  for (auto _ : State) {
    const auto unit = std::make_unique<TShaperUnit>();
    benchmark::DoNotOptimize(unit->KernelBlock());
  }
}

} // namespace

BENCHMARK(StereoQuiet);
BENCHMARK(StereoDriven);
BENCHMARK(MonoDriven);
BENCHMARK(BuildKernelTable)->Unit(benchmark::kMillisecond);
