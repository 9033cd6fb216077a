// The DSP binary's entry: lv2_descriptor, its only export, and the C callbacks
// through which hosts reach the instance. No error may cross into the host:
// creation reports failure as a null handle, and a failing run leaves the
// buffers as they are.
#include "base/DecimalSeparator.h"
#include "lv2/LV2EffectBase.h"
#include "lv2/LV2Ports.h"

#include <lv2/core/lv2.h>

namespace {

__attribute__((constructor)) void LibraryLoad() {
  RefreshUserDecimalSeparator();
}

TLV2EffectBase* Instance(LV2_Handle handle) {
  return static_cast<TLV2EffectBase*>(handle);
}

LV2_Handle Instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const*) {
  try {
    return new TLV2EffectBase(sampleRate);
  } catch (...) {
    return nullptr;
  }
}

void ConnectPort(LV2_Handle handle, std::uint32_t port, void* data) {
  if (handle)
    Instance(handle)->ConnectPort(port, data);
}

void Activate(LV2_Handle handle) {
  if (!handle)
    return;
  try {
    Instance(handle)->Activate();
  } catch (...) {
  }
}

void Run(LV2_Handle handle, std::uint32_t sampleCount) {
  if (!handle)
    return;
  try {
    Instance(handle)->Run(sampleCount);
  } catch (...) {
  }
}

void Deactivate(LV2_Handle) {}

void Cleanup(LV2_Handle handle) {
  delete Instance(handle);
}

const void* ExtensionData(const char*) {
  return nullptr;
}

const LV2_Descriptor kDescriptor{kLV2PluginUri, Instantiate, ConnectPort, Activate,
                                 Run,           Deactivate,  Cleanup,     ExtensionData};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor*
lv2_descriptor(std::uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
