#include "params/GraphicNotifyHost.h"

#include <array>

namespace {

// The broadcasts running on this thread, innermost last, so that a handler
// may change the list of a notifier that is calling it without waiting for
// itself. Fixed size: broadcasts nest only a few levels deep.
struct TActiveBroadcasts {
  std::array<const void*, 32> Notifiers{};
  int Depth = 0;

  int CountOf(const void* notifier) const {
    int n = 0;
    for (int i = 0; i < Depth && i < static_cast<int>(Notifiers.size()); ++i)
      n += Notifiers[i] == notifier;
    return n;
  }
};

thread_local TActiveBroadcasts tActive;

} // namespace

TGraphicNotifyHost::~TGraphicNotifyHost() {
  Notify(gnDestroying, 0);
  std::lock_guard lock(FWriters);
  Publish(nullptr);
  WaitForOtherReaders();
  ReleaseRetired();
}

std::size_t TGraphicNotifyHost::Count() const {
  FReaders.fetch_add(1);
  const TList* list = FList.load();
  const std::size_t n = list ? list->size() : 0;
  FReaders.fetch_sub(1);
  return n;
}

void TGraphicNotifyHost::AddListener(const void* key, TGraphicNotifyEvent handler) {
  std::lock_guard lock(FWriters);
  const TList* current = FList.load();
  if (current)
    for (const TEntry& e : *current)
      if (e.Key == key)
        return;
  auto* next = current ? new TList(*current) : new TList();
  next->push_back({key, handler});
  Publish(next);
}

void TGraphicNotifyHost::RemoveListener(const void* key) {
  std::lock_guard lock(FWriters);
  const TList* current = FList.load();
  if (!current)
    return;
  for (std::size_t i = 0; i < current->size(); ++i) {
    if ((*current)[i].Key != key)
      continue;
    auto* next = new TList(*current);
    (*next)[i] = next->back();
    next->pop_back();
    Publish(next);
    return;
  }
}

// Sequentially consistent on purpose: a broadcast announces itself in FReaders
// before it reads FList, and a change publishes FList before it reads
// FReaders, so at least one of the two always sees the other.
void TGraphicNotifyHost::Notify(std::uint8_t kind, std::int32_t value) {
  FReaders.fetch_add(1);
  const TList* list = FList.load();
  if (list) {
    TActiveBroadcasts& active = tActive;
    if (active.Depth < static_cast<int>(active.Notifiers.size()))
      active.Notifiers[active.Depth] = this;
    ++active.Depth;
    // The count at the start: listeners added meanwhile are not called.
    const std::size_t n = list->size();
    for (std::size_t i = 0; i < n; ++i)
      (*list)[i].Handler(FOwner, kind, value);
    --active.Depth;
  }
  FReaders.fetch_sub(1);
}

void TGraphicNotifyHost::Publish(const TList* next) {
  const TList* previous = FList.exchange(next);
  if (previous)
    FRetired.push_back(previous);
  WaitForOtherReaders();
  ReleaseRetired();
}

void TGraphicNotifyHost::WaitForOtherReaders() const {
  const int own = tActive.CountOf(this);
  while (FReaders.load() > own)
    YieldThread();
}

// A list may still be walked by a broadcast further up this thread's stack;
// it is released once no broadcast of this notifier runs at all.
void TGraphicNotifyHost::ReleaseRetired() {
  if (FReaders.load() != 0)
    return;
  for (const TList* list : FRetired)
    delete list;
  FRetired.clear();
}
