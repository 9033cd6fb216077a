// The effect object main hands to the host: it turns the host's indexed,
// float-valued view of the effect into calls on the parameter host and the
// effect component of the effect definition it owns.
#pragma once

#include "base/Component.h"
#include "params/VSTEffect.h"
#include "params/VSTParameterHost.h"
#include "toolkit/Form.h"
#include "vst/DAudioEffect.h"
#include "vst/EditorSnapshot.h"

#include <memory>
#include <string>

class TVSTEffectBase : public AudioEffect {
public:
  // Owns `module`, whose components `host` and `component` are.
  TVSTEffectBase(audioMasterCallback master, std::unique_ptr<TComponent> module,
                 TVSTParameterHost* host, TVSTEffect* component);
  ~TVSTEffectBase() override;

  void setSampleRate(float rate) override;
  void setBlockSize(std::int32_t size) override;
  void setParameter(std::int32_t index, float value) override;
  float getParameter(std::int32_t index) override;
  void process(float** inputs, float** outputs, std::int32_t sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) override;
  void setProgram(std::int32_t program) override { curProgram = program; }
  void setProgramName(const char* name) override { programName = name; }
  void getProgramName(char* buffer) override;
  void getParameterLabel(std::int32_t index, char* buffer) override;
  void getParameterDisplay(std::int32_t index, char* buffer) override;
  void getParameterName(std::int32_t index, char* buffer) override;
  void suspend() override { effectComponent->Clear(); }
  VstIntPtr vendorSpecific(std::int32_t index, VstIntPtr value, void* ptr, float opt) override;

  TVSTParameter* parameterAt(std::int32_t index) const;
  TVSTParameterHost* ParamHost() const { return paramHost; }

private:
  static VstIntPtr copySnapshot(const TForm& form, TEditorSnapshot& snapshot);
  static VstIntPtr deliverPointer(TForm& form, const TEditorPointer& pointer);
  bool validIndex(std::int32_t index) const { return index >= 0 && index < numParams; }
  void doProcess(float** inputs, float** outputs, std::int32_t sampleFrames, bool replacing);
  void automateParameter(TVSTParameter* Param, float Value);

  TVSTParameterHost* paramHost;
  std::string programName;
  TVSTEffect* effectComponent;
  std::unique_ptr<TComponent> definitionModule;
};
