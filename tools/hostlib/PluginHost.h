// The host side of the VST 2 boundary: opens a plug-in binary with the
// platform's loader, creates instances through its exported main and drives
// them the way a host does. Nothing here knows the plug-in's internals.
#pragma once

#include "hostlib/HostError.h"
#include "hostlib/SharedLibrary.h"
#include "vst/DAEffect.h"

#include <functional>
#include <memory>
#include <string>

namespace glowrasp::host {

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

  const std::string& path() const { return FPath; }
  VstPluginMainProc entry() const { return FEntry; }
  // An export by name, or null.
  void* symbol(const char* name) const { return FLibrary.symbol(name); }
  // Whether code or data at `address` belongs to the plug-in binary.
  bool contains(const void* address) const { return FLibrary.contains(address); }

private:
  std::string FPath;
  SharedLibrary FLibrary;
  VstPluginMainProc FEntry = nullptr;
};

// One effect instance. Construction calls main and effOpen; destruction
// suspends it if it is running and sends effClose.
class Plugin {
public:
  using AutomationListener = std::function<void(int index, float value)>;
  // Every call the instance makes to the host once main has returned.
  using HostCallListener = std::function<void(VstInt32 opcode, VstInt32 index, float opt)>;
  // The editor asks for a window of a new size; true grants it.
  using SizeWindowListener = std::function<bool(int width, int height)>;

  explicit Plugin(std::shared_ptr<const PluginLibrary> library);
  ~Plugin();
  // The record's user field points back here, so the object stays put.
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  AEffect& effect() const { return *FEffect; }
  const PluginLibrary& library() const { return *FLibrary; }

  int numParams() const { return FEffect->numParams; }
  int numInputs() const { return FEffect->numInputs; }
  int numOutputs() const { return FEffect->numOutputs; }
  int initialDelay() const { return FEffect->initialDelay; }
  std::string uniqueId() const;

  std::string paramName(int index) const { return paramText(effGetParamName, index); }
  std::string paramLabel(int index) const { return paramText(effGetParamLabel, index); }
  std::string paramDisplay(int index) const { return paramText(effGetParamDisplay, index); }

  void setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
  void setBlockSize(int frames) { dispatch(effSetBlockSize, 0, frames); }
  void resume();
  void suspend();

  void setParameter(int index, float value) { FEffect->setParameter(FEffect, index, value); }
  float getParameter(int index) const { return FEffect->getParameter(FEffect, index); }

  void processReplacing(float** inputs, float** outputs, int frames) {
    FEffect->processReplacing(FEffect, inputs, outputs, frames);
  }
  // The accumulating call: adds the result to what the outputs hold.
  void process(float** inputs, float** outputs, int frames) {
    FEffect->process(FEffect, inputs, outputs, frames);
  }

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) const {
    return FEffect->dispatcher(FEffect, opcode, index, value, ptr, opt);
  }

  // The plug-in's private requests (vendor-specific opcode, one of its own
  // codes as index), which its tools and tests send and hosts never do.
  VstIntPtr privateRequest(VstInt32 code, void* ptr) const;

  // Called for every audioMasterAutomate the instance sends.
  void onAutomation(AutomationListener listener) { FAutomation = std::move(listener); }
  void onHostCall(HostCallListener listener) { FHostCall = std::move(listener); }
  void onSizeWindow(SizeWindowListener listener) { FSizeWindow = std::move(listener); }

private:
  static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                            VstIntPtr value, void* ptr, float opt);
  std::string paramText(VstInt32 opcode, int index) const;

  std::shared_ptr<const PluginLibrary> FLibrary;
  AEffect* FEffect = nullptr;
  bool FResumed = false;
  AutomationListener FAutomation;
  HostCallListener FHostCall;
  SizeWindowListener FSizeWindow;
};

} // namespace glowrasp::host
