// The library's entry: the exported main that hosts call once per effect
// instance, and the load and unload hooks that keep the skin module alive
// for the library's whole life.
#include "editor/EffDataModule.h"
#include "toolkit/DecimalSeparator.h"
#include "vst/PluginFactory.h"

namespace {

// The same entry under both names: older hosts look for main, current ones
// for VSTPluginMain. C++ reserves the name main, so the symbol is set by label.
AEffect* VSTCALLBACK PluginMain(audioMasterCallback audioMaster) {
  return CreateEffectInstance(audioMaster);
}

__attribute__((constructor)) void LibraryLoad() {
  RefreshUserDecimalSeparator();
  CreateEffectDataModule();
}

__attribute__((destructor)) void LibraryUnload() { DestroyEffectDataModule(); }

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALLBACK
VSTPluginMain(audioMasterCallback audioMaster) {
  return PluginMain(audioMaster);
}

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALLBACK
KestruneGlowraspMain(audioMasterCallback audioMaster) __asm__("main");

AEffect* VSTCALLBACK KestruneGlowraspMain(audioMasterCallback audioMaster) {
  return PluginMain(audioMaster);
}
