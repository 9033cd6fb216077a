// The observer list every observable object owns as its Notifier.
//
// Broadcasts may run on the host's audio or automation thread while the editor
// thread registers and unregisters listeners. A broadcast never waits and never
// allocates: it walks an immutable snapshot of the list. Changes publish a new
// snapshot and wait until no broadcast on another thread still walks the old
// one, so once RemoveListener returns, that listener is never called again.
#pragma once

#include "base/Event.h"
#include "base/ThreadSupport.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

enum TGraphicNotification : std::uint8_t {
  gnDestroying = 0,
  gnSizeChanged = 1,
  gnPictureChanged = 2,
  gnNameChanged = 3,
  gnRangeChanged = 4,
  gnValueChanged = 5,
  gnSourceChanged = 6,
  gnSampleRateChanged = 7,
  gnBlockSizeChanged = 8,
  gnHostChanged = 9,
};

using TGraphicNotifyEvent = TEvent<void(void* Sender, std::uint8_t Kind, std::int32_t Value)>;

class TGraphicNotifyHost {
public:
  explicit TGraphicNotifyHost(void* owner) : FOwner(owner) {}
  // Tells every listener gnDestroying, then releases the list.
  ~TGraphicNotifyHost();
  TGraphicNotifyHost(const TGraphicNotifyHost&) = delete;
  TGraphicNotifyHost& operator=(const TGraphicNotifyHost&) = delete;

  void* Owner() const { return FOwner; }
  // A key registers once; registering it again keeps the first handler.
  void AddListener(const void* key, TGraphicNotifyEvent handler);
  // The last listener takes the removed one's place.
  void RemoveListener(const void* key);
  void Notify(std::uint8_t kind, std::int32_t value);
  std::size_t Count() const;

private:
  struct TEntry {
    const void* Key;
    TGraphicNotifyEvent Handler;
  };
  using TList = std::vector<TEntry>;

  void Publish(std::unique_ptr<const TList> next);
  void WaitForOtherReaders() const;
  void ReleaseRetired();

  void* const FOwner;
  std::atomic<const TList*> FList{nullptr};
  mutable std::atomic<int> FReaders{0};
  TMutex FWriters; // only list changes take it, never a broadcast
  std::vector<const TList*> FRetired;
};
