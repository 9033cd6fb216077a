// Observers register on the Notifier of whatever they refer to and unregister
// when they let go of it. These keep that rule in one place.
#pragma once

#include "params/GraphicNotifyHost.h"

// Moves `key`'s registration from the object `observed` refers to over to
// `next`, and refers to `next`. False, and nothing done, when `next` is the
// object already observed.
template <class T>
bool Relink(T*& observed, T* next, const void* key, TGraphicNotifyEvent handler) {
  if (next == observed)
    return false;
  if (observed) {
    observed->Notifier().RemoveListener(key);
    observed = nullptr;
  }
  if (next) {
    next->Notifier().AddListener(key, handler);
    observed = next;
  }
  return true;
}

// Unregisters `key` from the object `observed` refers to, if any.
template <class T>
void Unlink(T* observed, const void* key) {
  if (observed)
    observed->Notifier().RemoveListener(key);
}
