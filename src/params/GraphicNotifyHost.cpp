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

// Counts a reader of the list for as long as it lives, so that a handler's
// exception cannot leave the count raised and make list changes wait forever.
class TReading {
public:
  explicit TReading(std::atomic<int>& readers) : FReaders(readers) { FReaders.fetch_add(1); }
  ~TReading() { FReaders.fetch_sub(1); }
  TReading(const TReading&) = delete;
  TReading& operator=(const TReading&) = delete;

private:
  std::atomic<int>& FReaders;
};

// Enters a broadcast of `notifier` in this thread's record and leaves it
// again, however the broadcast ends.
class TBroadcasting {
public:
  explicit TBroadcasting(const void* notifier) : FActive(tActive) {
    if (FActive.Depth < static_cast<int>(FActive.Notifiers.size()))
      FActive.Notifiers[FActive.Depth] = notifier;
    ++FActive.Depth;
  }
  ~TBroadcasting() { --FActive.Depth; }
  TBroadcasting(const TBroadcasting&) = delete;
  TBroadcasting& operator=(const TBroadcasting&) = delete;

private:
  TActiveBroadcasts& FActive;
};

} // namespace

TGraphicNotifyHost::~TGraphicNotifyHost() {
  Notify(gnDestroying, 0);
  std::lock_guard lock(FWriters);
  Publish(nullptr);
  WaitForOtherReaders();
  ReleaseRetired();
}

std::size_t TGraphicNotifyHost::Count() const {
  const TReading reading(FReaders);
  const TList* list = FList.load();
  return list ? list->size() : 0;
}

void TGraphicNotifyHost::AddListener(const void* key, TGraphicNotifyEvent handler) {
  std::lock_guard lock(FWriters);
  const TList* current = FList.load();
  if (current)
    for (const TEntry& e : *current)
      if (e.Key == key)
        return;
  auto next = current ? std::make_unique<TList>(*current) : std::make_unique<TList>();
  next->push_back({key, handler});
  Publish(std::move(next));
}

void TGraphicNotifyHost::RemoveListener(const void* key) {
  std::lock_guard lock(FWriters);
  const TList* current = FList.load();
  if (!current)
    return;
  for (std::size_t i = 0; i < current->size(); ++i) {
    if ((*current)[i].Key != key)
      continue;
    auto next = std::make_unique<TList>(*current);
    (*next)[i] = next->back();
    next->pop_back();
    Publish(std::move(next));
    return;
  }
}

// Sequentially consistent on purpose: a broadcast announces itself in FReaders
// before it reads FList, and a change publishes FList before it reads
// FReaders, so at least one of the two always sees the other.
void TGraphicNotifyHost::Notify(std::uint8_t kind, std::int32_t value) {
  const TReading reading(FReaders);
  const TList* list = FList.load();
  if (!list)
    return;
  const TBroadcasting broadcasting(this);
  // The count at the start: listeners added meanwhile are not called.
  const std::size_t n = list->size();
  for (std::size_t i = 0; i < n; ++i)
    (*list)[i].Handler(FOwner, kind, value);
}

// Nothing after the exchange may throw: the list it replaces has its slot in
// the retired ones first. Only writers change FList, and they hold FWriters.
void TGraphicNotifyHost::Publish(std::unique_ptr<const TList> next) {
  const bool replaces = FList.load() != nullptr;
  if (replaces)
    FRetired.push_back(nullptr);
  const TList* previous = FList.exchange(next.release());
  if (replaces)
    FRetired.back() = previous;
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
