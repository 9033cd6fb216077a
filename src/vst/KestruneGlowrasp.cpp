// The library's entry: the exported main that hosts call once per effect
// instance, and the load and unload hooks that keep the skin module alive
// for the library's whole life. Older hosts look for main, current ones for
// VSTPluginMain; both names lead to the same entry.
#include "base/DecimalSeparator.h"
#include "instance/EditorResources.h"
#include "vst/LibraryHooks.h"
#include "vst/PluginFactory.h"

#include <type_traits>

void GlowraspLibraryLoad() {
  LoadEditorResources();
}

void GlowraspLibraryUnload() {
  ReleaseEditorResources();
}

#if defined(_WIN32)

// exports.def gives this entry both names; DllMain runs the hooks.
extern "C" AEffect* VSTCALLBACK KestruneGlowraspMain(audioMasterCallback audioMaster) {
  return CreateEffectInstance(audioMaster);
}

#else

namespace {

__attribute__((constructor)) void LibraryLoad() {
  RefreshUserDecimalSeparator();
  GlowraspLibraryLoad();
}

__attribute__((destructor)) void LibraryUnload() {
  GlowraspLibraryUnload();
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALLBACK
VSTPluginMain(audioMasterCallback audioMaster) {
  return CreateEffectInstance(audioMaster);
}

// C++ reserves the name main, so the symbol is set by label.
extern "C" __attribute__((visibility("default"))) AEffect* VSTCALLBACK
KestruneGlowraspMain(audioMasterCallback audioMaster) __asm__("main");

AEffect* VSTCALLBACK KestruneGlowraspMain(audioMasterCallback audioMaster) {
  return CreateEffectInstance(audioMaster);
}

#endif

// Hosts call the entry through this type: on 32-bit Windows cdecl, like every
// function of the interface.
static_assert(std::is_same_v<decltype(&KestruneGlowraspMain), VstPluginMainProc>);
