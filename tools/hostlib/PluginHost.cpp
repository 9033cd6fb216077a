#include "hostlib/PluginHost.h"

#include <array>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>

namespace glowrasp::host {

std::string defaultPluginPath(const std::string& built) {
  if (std::filesystem::exists(built))
    return built;
  const char* home = std::getenv("HOME");
  if (home && *home)
    return std::string(home) + "/.vst/KestruneGlowrasp.so";
  return built;
}
namespace {

constexpr VstInt32 kEffectMagic = 0x56737450; // "VstP"

VstPluginMainProc findEntry(void* handle) {
  for (const char* name : {"main", "VSTPluginMain"}) {
    if (void* symbol = dlsym(handle, name))
      return reinterpret_cast<VstPluginMainProc>(symbol);
  }
  return nullptr;
}

} // namespace

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
  // A path without a slash would make dlopen search the library path instead.
  const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = dlerror();
    throw HostError("cannot load plug-in: " + std::string(reason ? reason : path));
  }
  entry_ = findEntry(handle_);
  if (!entry_) {
    dlclose(handle_);
    throw HostError("not a VST 2 plug-in (exports neither main nor VSTPluginMain): " + path);
  }
}

PluginLibrary::~PluginLibrary() {
  dlclose(handle_);
}

Plugin::Plugin(std::shared_ptr<const PluginLibrary> library) : library_(std::move(library)) {
  effect_ = library_->entry()(&Plugin::hostCallback);
  if (!effect_)
    throw HostError("the plug-in's main returned no effect: " + library_->path());
  if (effect_->magic != kEffectMagic)
    throw HostError("the plug-in's main returned a record without the VST magic: " +
                    library_->path());
  effect_->user = this;
  dispatch(effOpen);
}

Plugin::~Plugin() {
  if (resumed_)
    suspend();
  dispatch(effClose);
}

std::string Plugin::uniqueId() const {
  const auto id = static_cast<std::uint32_t>(effect_->uniqueID);
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<char>((id >> shift) & 0xFF);
    text += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text;
}

void Plugin::resume() {
  dispatch(effMainsChanged, 0, 1);
  resumed_ = true;
}

void Plugin::suspend() {
  dispatch(effMainsChanged, 0, 0);
  resumed_ = false;
}

std::string Plugin::paramText(VstInt32 opcode, int index) const {
  // Plug-ins copy their texts without a bound; a roomy buffer keeps short
  // overruns of the customary 8 characters harmless.
  std::array<char, 256> buffer{};
  dispatch(opcode, index, 0, buffer.data());
  buffer.back() = '\0';
  return buffer.data();
}

VstIntPtr VSTCALLBACK Plugin::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr /*value*/, void* /*ptr*/, float opt) {
  switch (opcode) {
  case audioMasterVersion:
    return kHostVersion;
  case audioMasterAutomate:
    // The user field is only ours once main has returned.
    if (effect && effect->user) {
      const auto* self = static_cast<const Plugin*>(effect->user);
      if (self->automation_)
        self->automation_(index, opt);
    }
    return 0;
  default:
    return 0;
  }
}

} // namespace glowrasp::host
