#include "shaper/EffParams.h"

#include "base/DecimalSeparator.h"
#include "base/ExtendedPrecision.h"
#include "base/FloatMidpoint.h"
#include "base/ProductInfo.h"
#include "base/Version.h"
#include "editor/EditorSize.h"
#include "shaper/DecibelSteps.h"
#include "shaper/DisplayText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {

// While bypassed the input must arrive when the effect's output would.
static_assert(TSoftBypass::Delay == TShaperUnit::KernelLength / 2);

constexpr long double kLn10 = 2.302585092994045684017991454684364208L;

// The value as a fraction of the range's top; the bottom of every range is 0.
long double Fraction(std::int32_t CurValue, std::int32_t MaxValue) {
  return static_cast<long double>(CurValue) / MaxValue;
}

} // namespace

double DecibelRealValue(const TParameterDescription& Range, std::int32_t CurValue,
                        std::int32_t MaxValue) {
  const TExtendedPrecision precision;
  const long double e = ((Fraction(CurValue, MaxValue) - Range.ZeroAt()) * 0.05L) * Range.Span();
  return static_cast<double>(std::exp(e * kLn10));
}

double FractionRealValue(std::int32_t CurValue, std::int32_t MaxValue) {
  const TExtendedPrecision precision;
  return static_cast<double>(Fraction(CurValue, MaxValue));
}

namespace {

// How far, in units of a double's last place, a double result may lie from a
// float's midpoint before its rounding to a float is taken as uncertain: far
// above the error of the double arithmetic here, and still so narrow that
// only about one value in a quarter of a million falls inside.
constexpr std::int64_t kUncertainUlps = 1024;

} // namespace

// The extended-precision result above, rounded to the float the processor
// keeps, is what the sound depends on. Double precision gives the same float
// except where its result lies too close to a float's midpoint to tell, and
// only there the extended-precision formula runs.
float FractionSetting(std::int32_t CurValue, std::int32_t MaxValue) {
  const double fraction = static_cast<double>(CurValue) / MaxValue;
  if (NearFloatMidpoint(fraction, kUncertainUlps))
    return static_cast<float>(FractionRealValue(CurValue, MaxValue));
  return static_cast<float>(fraction);
}

TEffParameters::TEffParameters(TComponent* owner, TVSTEffectOnCreateEditor onCreateEditor)
    : TComponent(owner), FDriveSteps(DecibelStepsOf(0)), FOutputSteps(DecibelStepsOf(2)) {
  SetName("EffParameters");
  BeginLoading();
  LoadParamHost();
  LoadEffectProcessor(onCreateEditor);
  EndLoading();
}

TEffParameters::~TEffParameters() {
  // The effect component's OnDestroy calls back into this object, so the
  // components go while it is still whole.
  DestroyComponents();
  delete FShaperUnit.exchange(nullptr);
}

void TEffParameters::LoadParamHost() {
  FParamHost = CreateComponent<TVSTParameterHost>(this, "ParamHost");
  FParamHost->BeginLoading();
  using T = TEffParameters;
  for (std::int32_t index = 0; index < kSettingCount; ++index) {
    const TParameterDescription& d = kParameterTable[static_cast<std::size_t>(index)];
    const bool decibels = d.Scale == TParameterScale::Decibels;
    TVSTParameter* p = FParamHost->Parameters().Add();
    p->SetDisplayLabel(std::string(d.Unit));
    p->SetName(std::string(d.Name));
    p->SetMaxValue(d.StepCount);
    p->SetMinValue(0);
    p->SetDefValue(d.DefaultStep());
    p->SetCurValue(d.DefaultStep());
    p->SetOnGetStrValue(
        decibels ? TVSTParamOnGetStrValue::Bind<&T::ParamHostParameters0GetStrValue>(this)
                 : TVSTParamOnGetStrValue::Bind<&T::ParamHostParameters1GetStrValue>(this));
    // "Out Gain" has a handler of its own, with the formula of "Gain".
    p->SetOnGetRealValue(
        !decibels    ? TVSTParamOnGetRealValue::Bind<&T::ParamHostParameters1GetRealValue>(this)
        : index == 2 ? TVSTParamOnGetRealValue::Bind<&T::ParamHostParameters2GetRealValue>(this)
                     : TVSTParamOnGetRealValue::Bind<&T::ParamHostParameters0GetRealValue>(this));
    p->SetShortName(std::string(d.ShortName));
    p->SetOnUnitToNormalized(
        TVSTParamOnUnitToNormalized::Bind<&T::ParamHostParametersUnitToNormalized>(this));
  }
  FParamHost->CanMono = true;
  FParamHost->CanProcessReplacing = true;
  FParamHost->SetInChannelCount(2);
  FParamHost->SetOutChannelCount(2);
  FParamHost->UniqueId = "KGR1";
  FParamHost->EditorWidth = kEditorWidth;
  FParamHost->EditorHeight = kEditorHeight;
  FParamHost->DefaultProgramName = "Default";
  FParamHost->EffectName = kProductName;
  FParamHost->VendorName = kVendorName;
  FParamHost->ProductName = kProductName;
  FParamHost->VendorVersion = kVendorVersion;
  FParamHost->TailSize = TShaperUnit::KernelLength - 1;
  FParamHost->EndLoading();
}

void TEffParameters::LoadEffectProcessor(TVSTEffectOnCreateEditor onCreateEditor) {
  FEffectProcessor = CreateComponent<TVSTEffect>(this, "EffectProcessor");
  TVSTEffect& e = *FEffectProcessor;
  using T = TEffParameters;
  e.BeginLoading();
  e.SetVSTParamHost(FParamHost);
  e.OnProcessS2S = TVSTEffectOnProcess::Bind<&T::EffectProcessorProcessS2S>(this);
  e.OnProcessS2Sm = TVSTEffectOnProcess::Bind<&T::EffectProcessorProcessS2Sm>(this);
  e.OnClear = TNotifyEvent::Bind<&T::EffectProcessorClear>(this);
  e.OnCreate = TNotifyEvent::Bind<&T::EffectProcessorCreate>(this);
  e.OnDestroy = TNotifyEvent::Bind<&T::EffectProcessorDestroy>(this);
  e.OnCreateEditor = onCreateEditor;
  e.HasEditor = static_cast<bool>(onCreateEditor);
  e.OnDelayGet = TVSTOnDelayGet::Bind<&T::EffectProcessorDelayGet>(this);
  e.OnSetBypass = TVSTEffectOnSetBypass::Bind<&T::EffectProcessorSetBypass>(this);
  e.EndLoading();
}

namespace {

// A parameter of the definition is described by the table's row of its id.
const TParameterDescription& DescriptionOf(const TVSTParameter* Param) {
  return kParameterTable[static_cast<std::size_t>(Param->ID())];
}

} // namespace

double TEffParameters::ParamHostParameters0GetRealValue(const TVSTParameter* Param) {
  return DecibelRealValue(DescriptionOf(Param), Param->CurValue(), Param->MaxValue());
}

// A handler of its own, bound only to "Out Gain", with the formula of "Gain".
double TEffParameters::ParamHostParameters2GetRealValue(const TVSTParameter* Param) {
  return ParamHostParameters0GetRealValue(Param);
}

double TEffParameters::ParamHostParameters1GetRealValue(const TVSTParameter* Param) {
  return FractionRealValue(Param->CurValue(), Param->MaxValue());
}

TShortText UnitText(const TParameterDescription& Range, std::int32_t CurValue,
                    std::int32_t MaxValue) {
  const TExtendedPrecision precision;
  const long double value = (Fraction(CurValue, MaxValue) - Range.ZeroAt()) * Range.Span();
  return FormatOneDecimal(value, UserDecimalSeparator());
}

TShortText TEffParameters::ParamHostParameters0GetStrValue(const TVSTParameter* Param) {
  return UnitText(DescriptionOf(Param), Param->CurValue(), Param->MaxValue());
}

// Bound to "Intensity": the same rule, in its own unit.
TShortText TEffParameters::ParamHostParameters1GetStrValue(const TVSTParameter* Param) {
  return ParamHostParameters0GetStrValue(Param);
}

// The inverse of the display text, clamped to the range.
float TEffParameters::ParamHostParametersUnitToNormalized(TVSTParameter* Param, double UnitValue) {
  const TParameterDescription& range = DescriptionOf(Param);
  return static_cast<float>(std::clamp(UnitValue / range.Span() + range.ZeroAt(), 0.0, 1.0));
}

TSettingChange TEffParameters::SettingChangeAt(std::int32_t Frame, std::int32_t Index,
                                               std::int32_t Step) const {
  switch (Index) {
  case 0:
    return {Frame, ssDriveGain, FDriveSteps.At(Step)};
  case 1:
    return {Frame, ssIntensity, FractionSetting(Step, kParameterTable[1].StepCount)};
  default:
    return {Frame, ssOutputGain, FOutputSteps.At(Step)};
  }
}

namespace {

void StoreSettings(TShaperUnit& unit, std::span<const TSettingChange> changes) {
  for (const TSettingChange& change : changes)
    unit.Setting(change.Setting).store(change.Value, std::memory_order_relaxed);
}

} // namespace

void TEffParameters::ApplySettingChanges(std::span<const TSettingChange> Changes) {
  if (TShaperUnit* unit = ShaperUnit())
    StoreSettings(*unit, Changes);
}

// The processor follows the values the parameters hold, moved by their
// modulation, whichever thread set them: each call compares them with the
// ones it applied last.
void TEffParameters::ApplyChangedSettings(TShaperUnit& unit) {
  const TVSTParameters& params = FParamHost->Parameters();
  for (std::int32_t index = 0; index < kSettingCount; ++index) {
    const std::int32_t step = params.Items(index)->ModulatedValue();
    if (step == FAppliedSteps[index])
      continue;
    FAppliedSteps[index] = step;
    const TSettingChange change = SettingChangeAt(0, index, step);
    StoreSettings(unit, std::span(&change, 1));
  }
}

// Changes inside the call go through the processor in one pass; where the
// bypass mixes, the call is cut at each change instead. ProcessSpan(from, to,
// changes) processes frames from to to with the changes inside them.
template <class TProcessSpan>
void TEffParameters::ProcessWithChanges(TShaperUnit& unit, std::int32_t frames,
                                        TProcessSpan&& processSpan) {
  ApplyChangedSettings(unit);
  const std::span<const TSettingChange> changes = std::exchange(FBlockChanges, {});
  if (changes.empty() || frames <= 0 || FSoftBypass.PassesWhole(Bypass())) {
    processSpan(0, frames, changes);
    return;
  }
  std::int32_t from = 0;
  for (const TSettingChange& change : changes) {
    const std::int32_t at = std::clamp(change.Frame, from, frames);
    if (at > from)
      processSpan(from, at, std::span<const TSettingChange>());
    from = at;
    StoreSettings(unit, std::span(&change, 1));
  }
  if (frames > from)
    processSpan(from, frames, std::span<const TSettingChange>());
}

void TEffParameters::EffectProcessorCreate(TComponent*) {
  // Publish the processor only once it is built and holds the values: the
  // audio thread tests the pointer, not the component's state, and applies
  // only values that differ from those it applied before.
  auto unit = std::make_unique<TShaperUnit>();
  const TVSTParameters& params = FParamHost->Parameters();
  for (std::int32_t index = 0; index < kSettingCount; ++index) {
    const TSettingChange change = SettingChangeAt(0, index, params.Items(index)->ModulatedValue());
    StoreSettings(*unit, std::span(&change, 1));
  }
  delete FShaperUnit.exchange(unit.release(), std::memory_order_acq_rel);
  FParamHost->ActivateParameters();
}

void TEffParameters::EffectProcessorDestroy(TComponent*) {
  delete FShaperUnit.exchange(nullptr, std::memory_order_acq_rel);
}

void TEffParameters::EffectProcessorClear(TComponent*) {
  if (TShaperUnit* unit = ShaperUnit())
    unit->Clear();
  FSoftBypass.Clear();
}

void TEffParameters::EffectProcessorProcessS2S(TVSTEffect*, PVSTEffectOnProcessRecord r) {
  TShaperUnit* unit = ShaperUnit();
  if (!unit || !r->Inputs[0] || !r->Inputs[1] || !r->Outputs[0] || !r->Outputs[1])
    return;
  ProcessWithChanges(
      *unit, r->SampleFrames,
      [&](std::int32_t from, std::int32_t to, std::span<const TSettingChange> inside) {
        FSoftBypass.ProcessStereo(Bypass(), r->Inputs[0] + from, r->Inputs[1] + from,
                                  r->Outputs[0] + from, r->Outputs[1] + from, to - from,
                                  r->Replacing != 0,
                                  [unit, inside](const float* In1, const float* In2, float* Out1,
                                                 float* Out2, std::int32_t n, bool Replacing) {
                                    unit->ProcessStereo(In1, In2, Out1, Out2, n, Replacing, inside);
                                  });
      });
}

void TEffParameters::EffectProcessorProcessS2Sm(TVSTEffect*, PVSTEffectOnProcessRecord r) {
  TShaperUnit* unit = ShaperUnit();
  if (!unit || !r->Inputs[0] || !r->Outputs[0] || !r->Outputs[1])
    return;
  ProcessWithChanges(
      *unit, r->SampleFrames,
      [&](std::int32_t from, std::int32_t to, std::span<const TSettingChange> inside) {
        FSoftBypass.ProcessMono(Bypass(), r->Inputs[0] + from, r->Outputs[0] + from,
                                r->Outputs[1] + from, to - from, r->Replacing != 0,
                                [unit, inside](const float* In, float* Out1, float* Out2,
                                               std::int32_t n, bool Replacing) {
                                  unit->ProcessMono(In, Out1, Out2, n, Replacing, inside);
                                });
      });
}

std::int32_t TEffParameters::EffectProcessorDelayGet() {
  return TShaperUnit::KernelLength / 2;
}

void TEffParameters::EffectProcessorSetBypass(bool Bypass) {
  SetBypass(Bypass);
}
