// The library's entry: clap_entry, the one export, with the plug-in factory
// that makes instances. The skin pictures live from the first init to the
// last deinit, shared by every instance's editor.
#include "base/DecimalSeparator.h"
#include "clap/ClapDescriptor.h"
#include "clap/ClapPlugin.h"
#include "instance/EditorResources.h"

#include <clap/entry.h>
#include <clap/plugin-factory.h>

#include <cstring>

namespace {

// A host that loads the library twice may call init twice; the pictures go
// with the last deinit. Entry calls come from the host's main thread.
int InitCount = 0;

bool CLAP_ABI EntryInit(const char*) {
  if (InitCount++ == 0) {
    try {
      RefreshUserDecimalSeparator();
      LoadEditorResources();
    } catch (...) {
      InitCount = 0;
      return false;
    }
  }
  return true;
}

void CLAP_ABI EntryDeinit() {
  if (InitCount > 0 && --InitCount == 0)
    ReleaseEditorResources();
}

std::uint32_t CLAP_ABI FactoryCount(const clap_plugin_factory_t*) {
  return 1;
}

const clap_plugin_descriptor_t* CLAP_ABI FactoryDescriptor(const clap_plugin_factory_t*,
                                                           std::uint32_t index) {
  return index == 0 ? &GlowraspClapDescriptor() : nullptr;
}

const clap_plugin_t* CLAP_ABI FactoryCreate(const clap_plugin_factory_t*, const clap_host_t* host,
                                            const char* pluginId) {
  if (!host || !pluginId || std::strcmp(pluginId, kGlowraspClapId) != 0 ||
      !clap_version_is_compatible(host->clap_version))
    return nullptr;
  try {
    return (new TClapPlugin(*host))->Plugin();
  } catch (...) {
    return nullptr;
  }
}

const clap_plugin_factory_t kFactory{&FactoryCount, &FactoryDescriptor, &FactoryCreate};

const void* CLAP_ABI EntryFactory(const char* factoryId) {
  return factoryId && std::strcmp(factoryId, CLAP_PLUGIN_FACTORY_ID) == 0 ? &kFactory : nullptr;
}

} // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry{CLAP_VERSION_INIT, &EntryInit,
                                                            &EntryDeinit, &EntryFactory};
