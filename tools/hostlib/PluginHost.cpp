#include "hostlib/PluginHost.h"

#include "hostlib/PrivateRequests.h"
#include "vst/DAEffectX.h"

#include <array>
#include <cstdint>
#include <cstdlib>
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

VstPluginMainProc findEntry(const SharedLibrary& library) {
  for (const char* name : {"main", "VSTPluginMain"}) {
    if (void* symbol = library.symbol(name))
      return reinterpret_cast<VstPluginMainProc>(symbol);
  }
  return nullptr;
}

} // namespace

PluginLibrary::PluginLibrary(const std::string& path)
    : FPath(path), FLibrary(path), FEntry(findEntry(FLibrary)) {
  if (!FEntry)
    throw HostError("not a VST 2 plug-in (exports neither main nor VSTPluginMain): " + path);
}

Plugin::Plugin(std::shared_ptr<const PluginLibrary> library) : FLibrary(std::move(library)) {
  FEffect = FLibrary->entry()(&Plugin::hostCallback);
  if (!FEffect)
    throw HostError("the plug-in's main returned no effect: " + FLibrary->path());
  if (FEffect->magic != kEffectMagic)
    throw HostError("the plug-in's main returned a record without the VST magic: " +
                    FLibrary->path());
  FEffect->user = this;
  dispatch(effOpen);
}

Plugin::~Plugin() {
  if (FResumed)
    suspend();
  dispatch(effClose);
}

std::string Plugin::uniqueId() const {
  const auto id = static_cast<std::uint32_t>(FEffect->uniqueID);
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<char>((id >> shift) & 0xFF);
    text += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text;
}

// Every private request leaves the host here, so that what they carry
// besides their code is decided in one place.
VstIntPtr Plugin::privateRequest(VstInt32 code, void* ptr) const {
  return dispatch(effVendorSpecific, code, kPrivateRequestKey, ptr);
}

void Plugin::resume() {
  dispatch(effMainsChanged, 0, 1);
  FResumed = true;
}

void Plugin::suspend() {
  dispatch(effMainsChanged, 0, 0);
  FResumed = false;
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
                                           VstIntPtr value, void* /*ptr*/, float opt) {
  // The user field is only ours once main has returned.
  const auto* self = effect ? static_cast<const Plugin*>(effect->user) : nullptr;
  if (self && self->FHostCall)
    self->FHostCall(opcode, index, opt);
  switch (opcode) {
  case audioMasterVersion:
    return kHostVersion;
  case audioMasterAutomate:
    if (self && self->FAutomation)
      self->FAutomation(index, opt);
    return 0;
  case audioMasterSizeWindow:
    return self && self->FSizeWindow && self->FSizeWindow(index, static_cast<int>(value)) ? 1 : 0;
  default:
    return 0;
  }
}

} // namespace glowrasp::host
