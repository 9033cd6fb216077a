// The audio thread's calls allocate nothing: every operator new of the
// process is counted while processReplacing, process and setParameter run on
// a ready instance, in every route (stereo, mono, replacing, accumulating).
#include "editor/EffDataModule.h"
#include "vst/DAudioEffect.h"
#include "vst/PluginFactory.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* Allocate(std::size_t size, std::size_t alignment) {
  if (counting.load(std::memory_order_relaxed))
    allocations.fetch_add(1, std::memory_order_relaxed);
  const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
  void* block = std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded);
  if (!block)
    throw std::bad_alloc();
  return block;
}

} // namespace

void* operator new(std::size_t size) {
  return Allocate(size, alignof(std::max_align_t));
}
void* operator new[](std::size_t size) {
  return Allocate(size, alignof(std::max_align_t));
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  std::free(block);
}

namespace {

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

VstIntPtr Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   float opt = 0.0f) {
  return effect->dispatcher(effect, opcode, index, value, nullptr, opt);
}

TEST(AudioThread, ProcessingAndParameterChangesAllocateNothing) {
  CreateEffectDataModule();
  AEffect* effect = CreateEffectInstance(&HostCallback);
  ASSERT_NE(effect, nullptr);
  Dispatch(effect, effOpen);
  Dispatch(effect, effSetSampleRate, 0, 0, 48000.0f);
  Dispatch(effect, effSetBlockSize, 0, 4096);
  Dispatch(effect, effMainsChanged, 0, 1);

  std::vector<float> left(4096);
  std::vector<float> right(4096);
  for (std::size_t t = 0; t < left.size(); ++t) {
    left[t] = static_cast<float>(t % 97) / 20.0f - 2.0f; // driven: every kernel range
    right[t] = static_cast<float>(t % 31) / 100.0f;      // quiet
  }
  std::vector<float> out1(4096);
  std::vector<float> out2(4096);
  std::array<float*, 2> stereo{left.data(), right.data()};
  std::array<float*, 2> mono{left.data(), left.data()};
  std::array<float*, 2> outputs{out1.data(), out2.data()};

  counting = true;
  delete new int(1); // the counter sees what it should
  EXPECT_EQ(allocations.exchange(0), 1);
  for (int round = 0; round < 20; ++round) {
    for (VstInt32 index = 0; index < effect->numParams; ++index)
      effect->setParameter(effect, index, static_cast<float>((round * 7 + index) % 11) / 10.0f);
    const VstInt32 frames = 1 + round * 211;
    effect->processReplacing(effect, stereo.data(), outputs.data(), frames);
    effect->processReplacing(effect, mono.data(), outputs.data(), frames);
    effect->process(effect, stereo.data(), outputs.data(), frames);
    effect->process(effect, mono.data(), outputs.data(), frames);
  }
  counting = false;
  EXPECT_EQ(allocations.load(), 0);

  Dispatch(effect, effMainsChanged, 0, 0);
  Dispatch(effect, effClose);
  DestroyEffectDataModule();
}

} // namespace
