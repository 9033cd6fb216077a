// The effect definition: the three parameters with their mappings, the plug-in
// settings, and the handlers that tie them to the shaper.
#pragma once

#include "base/Component.h"
#include "params/ParameterTable.h"
#include "params/VSTEffect.h"
#include "params/VSTParameterHost.h"
#include "shaper/DecibelSteps.h"
#include "shaper/ShaperUnit.h"
#include "shaper/SoftBypass.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

class TEffParameters : public TComponent {
public:
  // The plug-in's definition, which declares the editor. Defined beside the
  // editor-creation handler, so only a binary that links the editor has it.
  explicit TEffParameters(TComponent* owner = nullptr);
  // With an empty handler the definition declares no editor: for a binary that
  // only processes and links no window system.
  TEffParameters(TComponent* owner, TVSTEffectOnCreateEditor onCreateEditor);
  ~TEffParameters() override;

  TVSTParameterHost* ParamHost() const { return FParamHost; }
  TVSTEffect* EffectProcessor() const { return FEffectProcessor; }
  // Null until the host has told both sample rate and block size.
  TShaperUnit* ShaperUnit() const { return FShaperUnit.load(std::memory_order_acquire); }
  // Any thread; the processing handlers follow it with a short crossfade.
  void SetBypass(bool Bypass) { FBypass.store(Bypass, std::memory_order_relaxed); }
  bool Bypass() const { return FBypass.load(std::memory_order_relaxed); }

  double ParamHostParameters0GetRealValue(const TVSTParameter* Param);
  double ParamHostParameters1GetRealValue(const TVSTParameter* Param);
  double ParamHostParameters2GetRealValue(const TVSTParameter* Param);
  TShortText ParamHostParameters0GetStrValue(const TVSTParameter* Param);
  TShortText ParamHostParameters1GetStrValue(const TVSTParameter* Param);
  float ParamHostParametersUnitToNormalized(TVSTParameter* Param, double UnitValue);
  void EffectProcessorCreate(TComponent* Sender);
  void EffectProcessorDestroy(TComponent* Sender);
  void EffectProcessorClear(TComponent* Sender);
  void EffectProcessorProcessS2S(TVSTEffect* Effect, PVSTEffectOnProcessRecord ProcessRecord);
  void EffectProcessorProcessS2Sm(TVSTEffect* Effect, PVSTEffectOnProcessRecord ProcessRecord);
  // Hosts that send changes with their frames (VST3, CLAP) have them applied
  // inside the next processing call, in one pass, instead of cutting it:
  // settings changes in frame order, for that call only. Audio thread.
  void SetBlockChanges(std::span<const TSettingChange> Changes) { FBlockChanges = Changes; }
  // The processor setting that parameter Index (0 to 2) drives, and its value
  // at Step, from Frame on.
  TSettingChange SettingChangeAt(std::int32_t Frame, std::int32_t Index, std::int32_t Step) const;
  // Sets them on the processor at once, for changes that fall on no frame.
  void ApplySettingChanges(std::span<const TSettingChange> Changes);
  // Once a call's changes are all applied and the parameters hold their last
  // values: the next call sets every setting again from the parameters, so
  // none keeps a value from inside the call that the parameters no longer
  // hold (a modulation ended, a value set back). Audio thread.
  void ForgetAppliedSettings() { FAppliedSteps.fill(-1); }
  // A new editor form in the host's window, bound to this effect's parameters.
  TForm* EffectProcessorCreateEditor(void* SysWindow);
  // The output lags the input by the kernel's centre slot.
  std::int32_t EffectProcessorDelayGet();
  void EffectProcessorSetBypass(bool Bypass);

private:
  void LoadParamHost();
  void LoadEffectProcessor(TVSTEffectOnCreateEditor onCreateEditor);
  // Processing alone writes the processor's settings: a value set on any
  // thread is applied by the next processing call.
  void ApplyChangedSettings(TShaperUnit& unit);
  template <class TProcessSpan>
  void ProcessWithChanges(TShaperUnit& unit, std::int32_t frames, TProcessSpan&& processSpan);

  // Built with the definition, so processing never builds them.
  const TDecibelSteps& FDriveSteps;
  const TDecibelSteps& FOutputSteps;
  TVSTParameterHost* FParamHost = nullptr;
  TVSTEffect* FEffectProcessor = nullptr;
  std::atomic<TShaperUnit*> FShaperUnit{nullptr};
  std::atomic<bool> FBypass{false};
  // Gain, Intensity and Out Gain drive the processor's three settings.
  static constexpr std::int32_t kSettingCount = 3;
  // The steps the processor's settings were last set from; audio thread only.
  std::array<std::int32_t, kSettingCount> FAppliedSteps{-1, -1, -1};
  TSoftBypass FSoftBypass;                       // audio thread only
  std::span<const TSettingChange> FBlockChanges; // audio thread only
};

// The natural-unit mappings, shared with anything that converts the other way.
double DecibelRealValue(const TParameterDescription& Range, std::int32_t CurValue,
                        std::int32_t MaxValue);
double FractionRealValue(std::int32_t CurValue, std::int32_t MaxValue);
// The same mapping as the processor's float setting, bit for bit, at a
// fraction of the cost: what processing applies at every automated change.
// The decibel parameters have theirs in DecibelSteps.h.
float FractionSetting(std::int32_t CurValue, std::int32_t MaxValue);
// The display text: the value in the unit of its range, one decimal.
TShortText UnitText(const TParameterDescription& Range, std::int32_t CurValue,
                    std::int32_t MaxValue);
