// The module's exports: GetPluginFactory everywhere, ModuleEntry and
// ModuleExit on Linux, InitDll and ExitDll on Windows (exports.def names
// them there). The skin pictures and the user's decimal separator belong to
// the library from load to unload, as in the other formats, so the entry and
// exit calls have nothing left to do and hosts that skip them still get a
// working module.
#include "vst3/Vst3Factory.h"

#if defined(_WIN32)

extern "C" v3_plugin_factory_cpp** V3_API GetPluginFactory() {
  return Vst3PluginFactory();
}

extern "C" bool InitDll() {
  return true;
}

extern "C" bool ExitDll() {
  return true;
}

#else

#include "base/DecimalSeparator.h"
#include "instance/EditorResources.h"

namespace {

__attribute__((constructor)) void LibraryLoad() {
  RefreshUserDecimalSeparator();
  LoadEditorResources();
}

__attribute__((destructor)) void LibraryUnload() {
  ReleaseEditorResources();
}

} // namespace

extern "C" __attribute__((visibility("default"))) v3_plugin_factory_cpp** GetPluginFactory() {
  return Vst3PluginFactory();
}

extern "C" __attribute__((visibility("default"))) bool ModuleEntry(void*) {
  return true;
}

extern "C" __attribute__((visibility("default"))) bool ModuleExit() {
  return true;
}

#endif
