// The kernel table is shared by every processor of the process and goes with
// the last one. Processors are created and destroyed on several threads while
// others process; run under ThreadSanitizer and AddressSanitizer, this shows
// that no processor ever reads a table that is being built or freed.
#include "shaper/ShaperUnit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int Block = 512;

std::vector<float> Driven(float Phase) {
  std::vector<float> x(Block);
  for (int t = 0; t < Block; ++t)
    x[t] = 2.0f * std::sin(0.01f * static_cast<float>(t) + Phase);
  return x;
}

// A fresh processor's first block, which reads kernels from all over the
// table.
std::vector<float> FirstBlock(const std::vector<float>& In) {
  const auto unit = std::make_unique<TShaperUnit>();
  unit->DriveGain = 1.0f;
  unit->Intensity = 1.0f;
  unit->OutputGain = 1.0f;
  std::vector<float> out1(Block);
  std::vector<float> out2(Block);
  unit->ProcessStereo(In.data(), In.data(), out1.data(), out2.data(), Block, true);
  return out1;
}

TEST(SharedKernelTable, ProcessorsComeAndGoOnManyThreadsWhileOthersProcess) {
  const std::vector<float> in = Driven(0.3f);
  const std::vector<float> expected = FirstBlock(in);
  std::atomic<bool> stop{false};
  std::atomic<int> wrongBlocks{0};
  std::atomic<int> blocks{0};

  // Every processor is short-lived, so the table's last holder goes now and
  // then and a new one is built while other threads are at work.
  const auto churn = [&] {
    while (!stop.load(std::memory_order_relaxed)) {
      if (FirstBlock(in) != expected)
        wrongBlocks.fetch_add(1, std::memory_order_relaxed);
      blocks.fetch_add(1, std::memory_order_relaxed);
    }
  };
  // Longer-lived processors that keep processing while the others come and
  // go, and now and then give way to a new one themselves.
  const auto steady = [&] {
    std::vector<float> out1(Block);
    std::vector<float> out2(Block);
    while (!stop.load(std::memory_order_relaxed)) {
      TShaperUnit unit;
      unit.DriveGain = 1.0f;
      unit.Intensity = 1.0f;
      unit.OutputGain = 1.0f;
      for (int i = 0; i < 50 && !stop.load(std::memory_order_relaxed); ++i) {
        unit.Clear();
        unit.ProcessStereo(in.data(), in.data(), out1.data(), out2.data(), Block, true);
        if (out1 != expected)
          wrongBlocks.fetch_add(1, std::memory_order_relaxed);
        blocks.fetch_add(1, std::memory_order_relaxed);
      }
    }
  };

  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i)
    threads.emplace_back(churn);
  for (int i = 0; i < 2; ++i)
    threads.emplace_back(steady);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  stop = true;
  for (std::thread& thread : threads)
    thread.join();

  EXPECT_GT(blocks.load(), 0);
  EXPECT_EQ(wrongBlocks.load(), 0);
}

} // namespace
