// The UI binary's entry: lv2ui_descriptor, its only export, the C callbacks
// and the idle interface, and the load hooks that keep the skin module alive
// for the library's life. No error may cross into the host: creation reports
// failure as a null handle.
#include "base/DecimalSeparator.h"
#include "instance/EditorResources.h"
#include "lv2/LV2EditorBase.h"
#include "lv2/LV2Ports.h"

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

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

// The ui:scaleFactor among `options` (a float, as the vocabulary says), else 0.
double ScaleFactorOption(const LV2_Options_Option* options, const LV2_URID_Map* map) {
  if (!options || !map || !map->map)
    return 0;
  const LV2_URID scaleFactor = map->map(map->handle, LV2_UI__scaleFactor);
  const LV2_URID atomFloat = map->map(map->handle, LV2_ATOM__Float);
  double scale = 0;
  for (const LV2_Options_Option* o = options; o->key != 0 || o->value; ++o)
    if (o->key == scaleFactor && o->type == atomFloat && o->size == sizeof(float) && o->value)
      scale = *static_cast<const float*>(o->value);
  return scale;
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
  host.Map = static_cast<const LV2_URID_Map*>(FeatureData(features, LV2_URID__map));
  host.Scale = ScaleFactorOption(
      static_cast<const LV2_Options_Option*>(FeatureData(features, LV2_OPTIONS__options)),
      host.Map);
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

// Hosts may change the scale factor while the UI is open.
std::uint32_t GetOptions(LV2_Handle, LV2_Options_Option*) {
  return LV2_OPTIONS_ERR_UNKNOWN;
}

std::uint32_t SetOptions(LV2_Handle handle, const LV2_Options_Option* options) {
  if (!handle || !options)
    return LV2_OPTIONS_ERR_UNKNOWN;
  try {
    auto* editor = static_cast<TLV2EditorBase*>(handle);
    const double scale = ScaleFactorOption(options, editor->UridMap());
    if (scale > 0)
      editor->SetHostScale(scale);
  } catch (...) {
  }
  return LV2_OPTIONS_SUCCESS;
}

const LV2_Options_Interface kOptionsInterface{GetOptions, SetOptions};

const void* ExtensionData(const char* uri) {
  if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0)
    return &kIdleInterface;
  if (uri && std::strcmp(uri, LV2_OPTIONS__interface) == 0)
    return &kOptionsInterface;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor{kLV2UIUri, Instantiate, Cleanup, PortEvent, ExtensionData};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor*
lv2ui_descriptor(std::uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
