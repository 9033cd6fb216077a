// The effect object main hands to the host: it turns the host's indexed,
// float-valued view of the effect into calls on the parameter host and the
// effect component of the effect definition it owns.
//
// Threads. Nothing here starts a thread or takes a lock; every call runs to
// its end on the thread that made it.
// - Audio thread: process, processReplacing, and setParameter/getParameter,
//   which hosts also call from an automation or UI thread. These touch only
//   single-word atomics (relaxed): a parameter's integer and normalised value,
//   its real value and display text, the processor's three settings, and the
//   acquire/release pointer that publishes the processor once it is built.
//   They allocate nothing and make no system call.
// - Any one host thread at a time for the dispatcher: open, close, sample
//   rate, block size (which build or replace the processor: hosts send them
//   while processing is suspended), suspend/resume, names and texts.
// - The editor's thread: effEditOpen, effEditIdle, effEditClose, and the
//   vendor-specific editor requests; see TVSTEditorBase.
// A parameter change on any thread notifies its listeners synchronously
// through the notifier's snapshot of the listener list, so the editor's
// controls hear it on that thread: they only refresh atomic caches and mark
// themselves for a repaint that the editor's thread paints at its next idle.
#pragma once

#include "instance/EffectInstance.h"
#include "params/VSTEffect.h"
#include "params/VSTParameterHost.h"
#include "shaper/EffParams.h"
#include "toolkit/Form.h"
#include "vst/DAudioEffectX.h"
#include "vst/EditorSnapshot.h"

#include <memory>
#include <string>

class TVSTEffectBase : public AudioEffectX {
public:
  // Owns `module`, whose components `host` and `component` are, as the
  // effect instance every format shares.
  TVSTEffectBase(audioMasterCallback master, std::unique_ptr<TEffParameters> module,
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

  // The VST 2.4 answers (VSTEffectBaseProperties.cpp).
  bool canParameterBeAutomated(std::int32_t index) override { return validIndex(index); }
  bool string2parameter(std::int32_t index, const char* text) override;
  bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) override;
  bool getInputProperties(std::int32_t index, VstPinProperties* properties) override;
  bool getOutputProperties(std::int32_t index, VstPinProperties* properties) override;
  VstPlugCategory getPlugCategory() override { return kPlugCategEffect; }
  bool setBypass(bool bypass) override { return effectComponent->SetBypass(bypass); }
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  std::int32_t getVendorVersion() override { return paramHost->VendorVersion; }
  std::int32_t canDo(const char* text) override;
  std::int32_t getGetTailSize() override { return instance.Tail(); }
  bool getParameterProperties(std::int32_t index, VstParameterProperties* properties) override;

  // The model's parameter; an index the collection no longer holds raises
  // "List index out of bounds", as every parameter call does.
  TVSTParameter* parameterAt(std::int32_t index) const;
  // What the instance, as every format, tells of it.
  const TParameterInfo& describedParameter(std::int32_t index) const;
  TVSTParameterHost* ParamHost() const { return paramHost; }
  TEffectInstance& Instance() { return instance; }

private:
  static VstIntPtr copySnapshot(TForm& form, TEditorSnapshot& snapshot);
  static VstIntPtr deliverPointer(TForm& form, const TEditorPointer& pointer);
  bool validIndex(std::int32_t index) const { return index >= 0 && index < numParams; }
  void doProcess(float** inputs, float** outputs, std::int32_t sampleFrames, bool replacing);
  void automateParameter(TVSTParameter* Param, float Value);
  void beginParameterEdit(TVSTParameter* Param) { beginEdit(Param->Index()); }
  void endParameterEdit(TVSTParameter* Param) { endEdit(Param->Index()); }

  TVSTParameterHost* paramHost;
  std::string programName;
  TVSTEffect* effectComponent;
  TEffectInstance instance;
};
