#include "vst/PluginFactory.h"

#include "toolkit/MessageBox.h"
#include "vst/VSTEffectBase.h"

#include <exception>
#include <memory>
#include <string>

namespace {

AEffect* BuildInstance(audioMasterCallback audioMaster, TDefinitionFactory factory) {
  std::unique_ptr<TEffParameters> module = factory();
  TVSTParameterHost* const host = module->ParamHost();
  TVSTEffect* const component = module->EffectProcessor();
  auto effect = std::make_unique<TVSTEffectBase>(audioMaster, std::move(module), host, component);
  // The host holds the instance from here on and gives it back with effClose.
  return effect.release()->getAeffect();
}

void ShowCreationError(const char* message) {
  ShowMessageBox(std::string("Exception during effect creation: ") + message);
}

} // namespace

std::unique_ptr<TEffParameters> CreateEffectDefinition() {
  return std::make_unique<TEffParameters>();
}

AEffect* CreateEffectInstance(audioMasterCallback audioMaster, TDefinitionFactory factory) {
  if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
    return nullptr;
  try {
    return BuildInstance(audioMaster, factory);
  } catch (const std::exception& error) {
    ShowCreationError(error.what());
  } catch (...) {
    ShowCreationError("unknown error");
  }
  return nullptr;
}
