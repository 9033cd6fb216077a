// How our objects appear through the VST3 binary interface: each interface
// is a slot holding the vtable pointer the host calls through, followed by
// the object the call is for. A host's interface pointer is the slot's address.
#pragma once

#include <travesty/base.h>

#include <cstring>

template <class TOwner>
struct TInterfaceSlot {
  const void* Vtable;
  TOwner* Owner;
  static TOwner& From(void* self) { return *static_cast<TInterfaceSlot*>(self)->Owner; }
};

inline bool SameInterfaceId(const v3_tuid a, const v3_tuid b) {
  return std::memcmp(a, b, sizeof(v3_tuid)) == 0;
}
