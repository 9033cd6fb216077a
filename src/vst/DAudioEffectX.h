// The VST 2.4 level of the host-facing effect object: what hosts ask beyond
// the first level (names, maker, category, pins, parameter properties, typed
// values, bypass, what the plug-in can do) and the edit gestures it reports.
// Every answer here is neutral until a derived class gives a real one.
#pragma once

#include "vst/DAEffectX.h"
#include "vst/DAudioEffect.h"

#include <cstdint>

class AudioEffectX : public AudioEffect {
public:
  using AudioEffect::AudioEffect;

  VstIntPtr dispatcher(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                       float opt) override;

  virtual bool canParameterBeAutomated(std::int32_t) { return false; }
  virtual bool string2parameter(std::int32_t, const char*) { return false; }
  virtual bool getProgramNameIndexed(std::int32_t, std::int32_t, char*) { return false; }
  virtual bool getInputProperties(std::int32_t, VstPinProperties*) { return false; }
  virtual bool getOutputProperties(std::int32_t, VstPinProperties*) { return false; }
  virtual VstPlugCategory getPlugCategory() { return kPlugCategUnknown; }
  virtual bool setBypass(bool) { return false; }
  virtual bool getEffectName(char*) { return false; }
  virtual bool getVendorString(char*) { return false; }
  virtual bool getProductString(char*) { return false; }
  virtual std::int32_t getVendorVersion() { return 0; }
  // 1: can, -1: cannot, 0: does not know.
  virtual std::int32_t canDo(const char*) { return 0; }
  virtual std::int32_t getGetTailSize() { return 0; }
  virtual bool getParameterProperties(std::int32_t, VstParameterProperties*) { return false; }
  virtual std::int32_t getVstVersion() { return 2400; }
  virtual std::int32_t startProcess() { return 0; }
  virtual std::int32_t stopProcess() { return 0; }

  // The user takes hold of a parameter in the editor, and lets go of it.
  bool beginEdit(std::int32_t index) { return callHost(audioMasterBeginEdit, index, 0, 0.0f) != 0; }
  bool endEdit(std::int32_t index) { return callHost(audioMasterEndEdit, index, 0, 0.0f) != 0; }
  // Asks the host to give the editor's window a new size; false when it cannot.
  bool sizeWindow(std::int32_t width, std::int32_t height) {
    return callHost(audioMasterSizeWindow, width, height, 0.0f) != 0;
  }
};
