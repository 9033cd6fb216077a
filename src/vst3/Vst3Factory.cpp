#include "vst3/Vst3Factory.h"

#include "vst3/Vst3ClassInfo.h"
#include "vst3/Vst3Effect.h"
#include "vst3/Vst3Interface.h"
#include "vst3/Vst3Text.h"

#include <cstring>

namespace {

using namespace vst3;

constexpr v3_tuid kClassId =
    V3_ID(kClassIdWords[0], kClassIdWords[1], kClassIdWords[2], kClassIdWords[3]);

struct TFactory {
  const v3_plugin_factory_cpp* Vtable;
};

v3_result V3_API QueryInterface(void* self, const v3_tuid iid, void** object) {
  if (!object)
    return V3_INVALID_ARG;
  const bool known = iid && (SameInterfaceId(iid, v3_funknown_iid) ||
                             SameInterfaceId(iid, v3_plugin_factory_iid) ||
                             SameInterfaceId(iid, v3_plugin_factory_2_iid) ||
                             SameInterfaceId(iid, v3_plugin_factory_3_iid));
  *object = known ? self : nullptr;
  return known ? V3_OK : V3_NO_INTERFACE;
}

uint32_t V3_API Ref(void*) {
  return 1;
}

uint32_t V3_API Unref(void*) {
  return 1;
}

v3_result V3_API GetFactoryInfo(void*, v3_factory_info* info) {
  if (!info)
    return V3_INVALID_ARG;
  *info = {};
  CopyToChars(kVendor, info->vendor, sizeof info->vendor);
  CopyToChars(kUrl, info->url, sizeof info->url);
  CopyToChars(kEmail, info->email, sizeof info->email);
  info->flags = kUnicodeFactory;
  return V3_OK;
}

int32_t V3_API NumClasses(void*) {
  return 1;
}

// The three class-info records share their first fields; only the later
// ones differ, and the third holds its texts in UTF-16.
template <typename TInfo>
v3_result FillCommonClassInfo(int32_t index, TInfo* info) {
  if (!info || index != 0)
    return V3_INVALID_ARG;
  *info = {};
  std::memcpy(info->class_id, kClassId, sizeof(v3_tuid));
  info->cardinality = kManyInstances;
  CopyToChars(kCategory, info->category, sizeof info->category);
  return V3_OK;
}

v3_result V3_API GetClassInfo(void*, int32_t index, v3_class_info* info) {
  if (const v3_result result = FillCommonClassInfo(index, info); result != V3_OK)
    return result;
  CopyToChars(kName, info->name, sizeof info->name);
  return V3_OK;
}

v3_result V3_API GetClassInfo2(void*, int32_t index, v3_class_info_2* info) {
  if (const v3_result result = FillCommonClassInfo(index, info); result != V3_OK)
    return result;
  CopyToChars(kName, info->name, sizeof info->name);
  CopyToChars(kSubCategories, info->sub_categories, sizeof info->sub_categories);
  CopyToChars(kVendor, info->vendor, sizeof info->vendor);
  CopyToChars(kVersion, info->version, sizeof info->version);
  CopyToChars(kSdkVersion, info->sdk_version, sizeof info->sdk_version);
  return V3_OK;
}

v3_result V3_API GetClassInfoUtf16(void*, int32_t index, v3_class_info_3* info) {
  if (const v3_result result = FillCommonClassInfo(index, info); result != V3_OK)
    return result;
  CopyToUtf16(kName, info->name, std::size(info->name));
  CopyToChars(kSubCategories, info->sub_categories, sizeof info->sub_categories);
  CopyToUtf16(kVendor, info->vendor, std::size(info->vendor));
  CopyToUtf16(kVersion, info->version, std::size(info->version));
  CopyToUtf16(kSdkVersion, info->sdk_version, std::size(info->sdk_version));
  return V3_OK;
}

v3_result V3_API CreateInstance(void*, const v3_tuid classId, const v3_tuid iid, void** object) {
  if (!object)
    return V3_INVALID_ARG;
  *object = nullptr;
  if (!classId || !iid || !SameInterfaceId(classId, kClassId))
    return V3_NO_INTERFACE;
  TVst3Effect* effect = nullptr;
  try {
    effect = new TVst3Effect();
  } catch (...) {
    return V3_NOMEM;
  }
  // The interface asked for holds a reference of its own; the first one goes.
  *object = effect->Query(iid);
  effect->Release();
  return *object ? V3_OK : V3_NO_INTERFACE;
}

v3_result V3_API SetHostContext(void*, v3_funknown**) {
  return V3_OK;
}

const v3_plugin_factory_cpp kVtable{{QueryInterface, Ref, Unref},
                                    {GetFactoryInfo, NumClasses, GetClassInfo, CreateInstance},
                                    {GetClassInfo2},
                                    {GetClassInfoUtf16, SetHostContext}};

TFactory gFactory{&kVtable};

} // namespace

v3_plugin_factory_cpp** Vst3PluginFactory() {
  return reinterpret_cast<v3_plugin_factory_cpp**>(&gFactory);
}

const v3_tuid& Vst3ClassId() {
  return kClassId;
}
