// The audio thread's calls allocate nothing, format no text and take no
// lock: while processReplacing, process and setParameter run on a ready VST 2
// instance, and run() on a ready LV2 instance, in every route (stereo, mono,
// in place, replacing, accumulating), every allocation, formatting call and
// mutex lock of the process is counted (AllocationCounter.cpp).
#include "AllocationCounter.h"
#include "editor/EffDataModule.h"
#include "vst/DAudioEffect.h"
#include "vst/PluginFactory.h"

#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

// Two channels of test signal: driven over every kernel range on the left,
// quiet on the right.
struct TSignal {
  static constexpr std::size_t Frames = 4096;
  std::vector<float> Left = std::vector<float>(Frames);
  std::vector<float> Right = std::vector<float>(Frames);
  std::vector<float> Out1 = std::vector<float>(Frames);
  std::vector<float> Out2 = std::vector<float>(Frames);
  TSignal() {
    for (std::size_t t = 0; t < Frames; ++t) {
      Left[t] = static_cast<float>(t % 97) / 20.0f - 2.0f;
      Right[t] = static_cast<float>(t % 31) / 100.0f;
    }
  }
};

// The counters see each way in; the calls go through pointers the optimizer
// cannot see through, so that none is left out as unused.
TEST(AudioThread, CountersSeeEveryAllocationAndFormatting) {
  void* (*volatile allocate)(std::size_t) = std::malloc;
  void* (*volatile allocateZeroed)(std::size_t, std::size_t) = std::calloc;
  void* (*volatile reallocate)(void*, std::size_t) = std::realloc;
  int (*volatile format)(char*, std::size_t, const char*, ...) = std::snprintf;
  TCounting count;
  void* block = reallocate(allocate(8), 64);
  std::free(block);
  std::free(allocateZeroed(4, 4));
  delete new int(1);
  char text[16];
  format(text, sizeof text, "%.1f", 1.25);
  std::mutex mutex;
  mutex.lock();
  mutex.unlock();
  count.Stop();
  EXPECT_EQ(count.Allocations(), 4);
  EXPECT_EQ(count.Formats(), 1);
  EXPECT_EQ(count.Locks(), 1);
  EXPECT_STREQ(text, "1.2");
}

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

VstIntPtr Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   float opt = 0.0f) {
  return effect->dispatcher(effect, opcode, index, value, nullptr, opt);
}

TEST(AudioThread, VstProcessingAndParameterChangesAllocateAndFormatNothing) {
  CreateEffectDataModule();
  AEffect* effect = CreateEffectInstance(&HostCallback);
  ASSERT_NE(effect, nullptr);
  Dispatch(effect, effOpen);
  Dispatch(effect, effSetSampleRate, 0, 0, 48000.0f);
  Dispatch(effect, effSetBlockSize, 0, TSignal::Frames);
  Dispatch(effect, effMainsChanged, 0, 1);

  TSignal signal;
  std::array<float*, 2> stereo{signal.Left.data(), signal.Right.data()};
  std::array<float*, 2> mono{signal.Left.data(), signal.Left.data()};
  std::array<float*, 2> outputs{signal.Out1.data(), signal.Out2.data()};
  TCounting count;
  for (int round = 0; round < 20; ++round) {
    for (VstInt32 index = 0; index < effect->numParams; ++index)
      effect->setParameter(effect, index, static_cast<float>((round * 7 + index) % 11) / 10.0f);
    const VstInt32 frames = 1 + round * 211;
    effect->processReplacing(effect, stereo.data(), outputs.data(), frames);
    effect->processReplacing(effect, mono.data(), outputs.data(), frames);
    effect->process(effect, stereo.data(), outputs.data(), frames);
    effect->process(effect, mono.data(), outputs.data(), frames);
  }
  count.Stop();
  EXPECT_EQ(count.Allocations(), 0);
  EXPECT_EQ(count.Formats(), 0);
  EXPECT_EQ(count.Locks(), 0);

  Dispatch(effect, effMainsChanged, 0, 0);
  Dispatch(effect, effClose);
  DestroyEffectDataModule();
}

// The LV2 DSP binary from the bundle, loaded as a host loads it.
class TLV2Library {
public:
  TLV2Library() : FHandle(dlopen(GLOWRASP_LV2_BUNDLE "/KestruneGlowrasp_dsp.so", RTLD_NOW)) {
    const auto entry =
        FHandle ? reinterpret_cast<LV2_Descriptor_Function>(dlsym(FHandle, "lv2_descriptor"))
                : nullptr;
    FDescriptor = entry ? entry(0) : nullptr;
  }
  ~TLV2Library() {
    if (FHandle)
      dlclose(FHandle);
  }
  TLV2Library(const TLV2Library&) = delete;
  TLV2Library& operator=(const TLV2Library&) = delete;

  const LV2_Descriptor* Descriptor() const { return FDescriptor; }

private:
  void* FHandle;
  const LV2_Descriptor* FDescriptor = nullptr;
};

TEST(AudioThread, Lv2RunAllocatesAndFormatsNothing) {
  TLV2Library library;
  const LV2_Descriptor* descriptor = library.Descriptor();
  ASSERT_NE(descriptor, nullptr) << dlerror();
  LV2_Handle instance = descriptor->instantiate(descriptor, 48000.0, GLOWRASP_LV2_BUNDLE, nullptr);
  ASSERT_NE(instance, nullptr);
  // gain, intensity, out gain, latency, enabled
  std::array<float, 5> controls{0.0f, 100.0f, 0.0f, 0.0f, 1.0f};
  for (std::uint32_t i = 0; i < controls.size(); ++i)
    descriptor->connect_port(instance, 4 + i, &controls[i]);
  descriptor->activate(instance);

  TSignal signal;
  const auto run = [&](float* inL, float* inR, float* outL, float* outR, std::uint32_t frames) {
    descriptor->connect_port(instance, 0, inL);
    descriptor->connect_port(instance, 1, inR);
    descriptor->connect_port(instance, 2, outL);
    descriptor->connect_port(instance, 3, outR);
    descriptor->run(instance, frames);
  };
  TCounting count;
  for (int round = 0; round < 20; ++round) {
    // Every control moves every round, the toggle included.
    controls[0] = static_cast<float>(round * 7 % 97) - 48.0f;
    controls[1] = static_cast<float>(round * 13 % 101);
    controls[2] = static_cast<float>(round * 5 % 97) - 48.0f;
    controls[4] = static_cast<float>(round % 3 != 0);
    const auto frames = static_cast<std::uint32_t>(round * 211);
    run(signal.Left.data(), signal.Right.data(), signal.Out1.data(), signal.Out2.data(), frames);
    run(signal.Left.data(), signal.Left.data(), signal.Out1.data(), signal.Out2.data(), frames);
    run(signal.Out1.data(), signal.Out2.data(), signal.Out1.data(), signal.Out2.data(), frames);
  }
  count.Stop();
  EXPECT_EQ(count.Allocations(), 0);
  EXPECT_EQ(count.Formats(), 0);
  EXPECT_EQ(count.Locks(), 0);
  EXPECT_EQ(controls[3], 6.0f);

  descriptor->deactivate(instance);
  descriptor->cleanup(instance);
}

} // namespace
