// The audio thread's calls allocate nothing and format no text: while
// processReplacing, process and setParameter run on a ready VST 2 instance,
// and run() on a ready LV2 instance, in every route (stereo, mono, in place,
// replacing, accumulating), every malloc, calloc, realloc, aligned_alloc and
// operator new of the process is counted, and so is every snprintf and
// vsnprintf. This program replaces them and passes each call on to the next
// definition, the C library's. Under AddressSanitizer, whose allocator starts
// before any code of the program may run, that allocator reports each block
// instead.
#include "editor/EffDataModule.h"
#include "vst/DAudioEffect.h"
#include "vst/PluginFactory.h"

#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
std::atomic<long> formats{0};

void Count(std::atomic<long>& counter) {
  if (counting.load(std::memory_order_relaxed))
    counter.fetch_add(1, std::memory_order_relaxed);
}

// The definitions these replace, looked up once, before any other thread runs.
struct TNextDefinitions {
  void* (*Malloc)(std::size_t) = nullptr;
  void* (*Calloc)(std::size_t, std::size_t) = nullptr;
  void* (*Realloc)(void*, std::size_t) = nullptr;
  void* (*AlignedAlloc)(std::size_t, std::size_t) = nullptr;
  void (*Free)(void*) = nullptr;
  int (*Vsnprintf)(char*, std::size_t, const char*, std::va_list) = nullptr;
};
TNextDefinitions next;
bool resolved = false;
bool resolving = false;

template <class T>
void Lookup(T& function, const char* name) {
  function = reinterpret_cast<T>(dlsym(RTLD_NEXT, name));
}

const TNextDefinitions& Next() {
  if (!resolved) {
    resolving = true;
    Lookup(next.Malloc, "malloc");
    Lookup(next.Calloc, "calloc");
    Lookup(next.Realloc, "realloc");
    Lookup(next.AlignedAlloc, "aligned_alloc");
    Lookup(next.Vsnprintf, "vsnprintf");
    Lookup(next.Free, "free");
    resolving = false;
    resolved = true;
  }
  return next;
}

} // namespace

extern "C" {

int vsnprintf(char* text, std::size_t size, const char* format, std::va_list arguments) noexcept {
  Count(formats);
  return Next().Vsnprintf(text, size, format, arguments);
}

int snprintf(char* text, std::size_t size, const char* format, ...) noexcept {
  Count(formats);
  std::va_list arguments;
  va_start(arguments, format);
  const int length = Next().Vsnprintf(text, size, format, arguments);
  va_end(arguments);
  return length;
}

} // extern "C"

#if defined(__SANITIZE_ADDRESS__)

// The sanitizer runtime's own interface; GCC installs no header for it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*allocated)(const volatile void* block, std::size_t size),
    void (*freed)(const volatile void* block));

namespace {

void AllocatedBlock(const volatile void*, std::size_t) {
  Count(allocations);
}
void FreedBlock(const volatile void*) {}
const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(AllocatedBlock, FreedBlock);

} // namespace

#else

namespace {

// What dlsym may allocate while it looks the names up comes from here, is
// never given back and never reused, so it is zero as calloc promises.
alignas(std::max_align_t) std::array<unsigned char, 16384> arena{};
std::size_t arenaUsed = 0;

bool InArena(const void* block) {
  const auto* byte = static_cast<const unsigned char*>(block);
  return byte >= arena.data() && byte < arena.data() + arena.size();
}

void* FromArena(std::size_t size) {
  constexpr std::size_t align = alignof(std::max_align_t);
  const std::size_t rounded = (size + align - 1) / align * align;
  if (rounded > arena.size() - arenaUsed)
    return nullptr;
  void* block = arena.data() + arenaUsed;
  arenaUsed += rounded;
  return block;
}

} // namespace

extern "C" {

void* malloc(std::size_t size) noexcept {
  Count(allocations);
  return resolving ? FromArena(size) : Next().Malloc(size);
}

void* calloc(std::size_t count, std::size_t size) noexcept {
  Count(allocations);
  if (resolving)
    return size != 0 && count > arena.size() / size ? nullptr : FromArena(count * size);
  return Next().Calloc(count, size);
}

void* realloc(void* block, std::size_t size) noexcept {
  Count(allocations);
  if (InArena(block))
    std::abort(); // dlsym's blocks are never grown
  return Next().Realloc(block, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
  Count(allocations);
  return Next().AlignedAlloc(alignment, size);
}

void free(void* block) noexcept {
  if (block && !InArena(block))
    Next().Free(block);
}

} // extern "C"

// Every form of operator new goes through the replaced aligned_alloc, whatever
// way libstdc++'s own would take into the C library.
namespace {

void* Allocate(std::size_t size, std::size_t alignment) {
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

#endif

namespace {

// Counts what the calls inside its lifetime allocate and format.
class TCounting {
public:
  TCounting() {
    allocations = 0;
    formats = 0;
    counting = true;
  }
  ~TCounting() { Stop(); }
  TCounting(const TCounting&) = delete;
  TCounting& operator=(const TCounting&) = delete;

  void Stop() { counting = false; }
  long Allocations() const { return allocations.load(); }
  long Formats() const { return formats.load(); }
};

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
  count.Stop();
  EXPECT_EQ(count.Allocations(), 4);
  EXPECT_EQ(count.Formats(), 1);
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
  EXPECT_EQ(controls[3], 6.0f);

  descriptor->deactivate(instance);
  descriptor->cleanup(instance);
}

} // namespace
