// Replaces the C library's allocators, snprintf, vsnprintf and
// pthread_mutex_lock and operator new for the whole test program, and passes
// each call on to the next definition, the C library's; while a TCounting
// lives, every call is counted. Under AddressSanitizer, whose allocator starts
// before any code of the program may run, that allocator reports each block
// instead.
#include "AllocationCounter.h"

#include <pthread.h>

#include <dlfcn.h>

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
std::atomic<long> formats{0};
std::atomic<long> locks{0};

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
  int (*MutexLock)(pthread_mutex_t*) = nullptr;
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
    Lookup(next.MutexLock, "pthread_mutex_lock");
    resolving = false;
    resolved = true;
  }
  return next;
}

} // namespace

extern "C" {

int pthread_mutex_lock(pthread_mutex_t* mutex) noexcept {
  Count(locks);
  return Next().MutexLock(mutex);
}

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

TCounting::TCounting() {
  allocations = 0;
  formats = 0;
  locks = 0;
  counting = true;
}

TCounting::~TCounting() {
  Stop();
}

void TCounting::Stop() {
  counting = false;
}

long TCounting::Allocations() const {
  return allocations.load();
}

long TCounting::Formats() const {
  return formats.load();
}

long TCounting::Locks() const {
  return locks.load();
}
