// The host side of the VST 2 boundary: opens a plug-in binary with dlopen,
// creates instances through its exported main and drives them the way a host
// does. Nothing here knows the plug-in's internals.
#pragma once

#include "vst/DAEffect.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace glowrasp::host {

// Every failure on the host side, worded as one line for the user.
class HostError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The plug-in the tools use unless told otherwise: `built` (the one built
// beside them) when it exists, else the one installed in ~/.vst.
std::string defaultPluginPath(const std::string& built);

// What our host answers to audioMasterVersion.
inline constexpr VstIntPtr kHostVersion = 2400;

// A plug-in binary and its entry point. Shared by its instances, so that the
// code stays mapped until the last of them is closed.
class PluginLibrary {
public:
  // Looks up "main", then "VSTPluginMain".
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  const std::string& path() const { return path_; }
  VstPluginMainProc entry() const { return entry_; }

private:
  std::string path_;
  void* handle_ = nullptr;
  VstPluginMainProc entry_ = nullptr;
};

// One effect instance. Construction calls main and effOpen; destruction
// suspends it if it is running and sends effClose.
class Plugin {
public:
  using AutomationListener = std::function<void(int index, float value)>;

  explicit Plugin(std::shared_ptr<const PluginLibrary> library);
  ~Plugin();
  // The record's user field points back here, so the object stays put.
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  AEffect& effect() const { return *effect_; }
  const PluginLibrary& library() const { return *library_; }

  int numParams() const { return effect_->numParams; }
  int numInputs() const { return effect_->numInputs; }
  int numOutputs() const { return effect_->numOutputs; }
  int initialDelay() const { return effect_->initialDelay; }
  std::string uniqueId() const;

  std::string paramName(int index) const { return paramText(effGetParamName, index); }
  std::string paramLabel(int index) const { return paramText(effGetParamLabel, index); }
  std::string paramDisplay(int index) const { return paramText(effGetParamDisplay, index); }

  void setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
  void setBlockSize(int frames) { dispatch(effSetBlockSize, 0, frames); }
  void resume();
  void suspend();

  void setParameter(int index, float value) { effect_->setParameter(effect_, index, value); }
  float getParameter(int index) const { return effect_->getParameter(effect_, index); }

  void processReplacing(float** inputs, float** outputs, int frames) {
    effect_->processReplacing(effect_, inputs, outputs, frames);
  }
  // The accumulating call: adds the result to what the outputs hold.
  void process(float** inputs, float** outputs, int frames) {
    effect_->process(effect_, inputs, outputs, frames);
  }

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) const {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
  }

  // Called for every audioMasterAutomate the instance sends.
  void onAutomation(AutomationListener listener) { automation_ = std::move(listener); }

private:
  static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                            VstIntPtr value, void* ptr, float opt);
  std::string paramText(VstInt32 opcode, int index) const;

  std::shared_ptr<const PluginLibrary> library_;
  AEffect* effect_ = nullptr;
  bool resumed_ = false;
  AutomationListener automation_;
};

} // namespace glowrasp::host
