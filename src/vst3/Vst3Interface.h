// How our objects appear through the VST3 binary interface: each interface
// is a slot holding the vtable pointer the host calls through, followed by
// the object the call is for. A host's interface pointer is the slot's address.
#pragma once

#include <travesty/base.h>

#include <cstdint>
#include <cstring>

template <class TOwner>
struct TInterfaceSlot {
  const void* Vtable;
  TOwner* Owner;
  static TOwner& From(void* self) { return *static_cast<TInterfaceSlot*>(self)->Owner; }

  // The calls every interface of an owner starts with. The owner's Query
  // answers with a slot it has counted a reference for, or null.
  static v3_result V3_API QueryInterface(void* self, const v3_tuid iid, void** object) {
    if (!object)
      return V3_INVALID_ARG;
    *object = iid ? From(self).Query(iid) : nullptr;
    return *object ? V3_OK : V3_NO_INTERFACE;
  }
  static std::uint32_t V3_API Ref(void* self) { return From(self).AddRef(); }
  static std::uint32_t V3_API Unref(void* self) { return From(self).Release(); }
};

inline bool SameInterfaceId(const v3_tuid a, const v3_tuid b) {
  return std::memcmp(a, b, sizeof(v3_tuid)) == 0;
}
