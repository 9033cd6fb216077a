// The UI binary's entry: lv2ui_descriptor, its only export, the C callbacks
// and the idle interface, and the load hooks that keep the skin module alive
// for the library's life. No error may cross into the host: creation reports
// failure as a null handle.
#include "base/DecimalSeparator.h"
#include "instance/EditorResources.h"
#include "lv2/LV2EditorBase.h"
#include "lv2/LV2Ports.h"

#include <lv2/ui/ui.h>

#include <cstring>

namespace {

__attribute__((constructor)) void LibraryLoad() {
  RefreshUserDecimalSeparator();
  LoadEditorResources();
}

__attribute__((destructor)) void LibraryUnload() {
  ReleaseEditorResources();
}

TLV2EditorBase* Instance(LV2UI_Handle handle) {
  return static_cast<TLV2EditorBase*>(handle);
}

const void* FeatureData(const LV2_Feature* const* features, const char* uri) {
  for (const LV2_Feature* const* f = features; f && *f; ++f)
    if (std::strcmp((*f)->URI, uri) == 0)
      return (*f)->data;
  return nullptr;
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function writeFunction, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
  if (!pluginUri || std::strcmp(pluginUri, kLV2PluginUri) != 0 || !widget)
    return nullptr;
  // The editor lives in the host's window only; without one there is no UI.
  void* parent = const_cast<void*>(FeatureData(features, LV2_UI__parent));
  if (!parent)
    return nullptr;
  TLV2HostInterface host;
  host.Write = writeFunction;
  host.Controller = controller;
  host.Touch = static_cast<const LV2UI_Touch*>(FeatureData(features, LV2_UI__touch));
  host.Resize = static_cast<const LV2UI_Resize*>(FeatureData(features, LV2_UI__resize));
  try {
    auto* editor = new TLV2EditorBase(parent, host);
    *widget = editor->Widget();
    return editor;
  } catch (...) {
    return nullptr;
  }
}

void Cleanup(LV2UI_Handle handle) {
  delete Instance(handle);
}

void PortEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t bufferSize,
               std::uint32_t format, const void* buffer) {
  if (!handle)
    return;
  try {
    Instance(handle)->PortEvent(port, bufferSize, format, buffer);
  } catch (...) {
  }
}

int Idle(LV2UI_Handle handle) {
  if (!handle)
    return 1;
  try {
    Instance(handle)->Idle();
  } catch (...) {
  }
  return 0;
}

const LV2UI_Idle_Interface kIdleInterface{Idle};

const void* ExtensionData(const char* uri) {
  if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0)
    return &kIdleInterface;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor{kLV2UIUri, Instantiate, Cleanup, PortEvent, ExtensionData};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor*
lv2ui_descriptor(std::uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
