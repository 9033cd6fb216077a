// One automatable parameter: an integer inside its own range, seen by the host
// as a float in [0, 1] and by the user as a display text and a real value.
#pragma once

#include "base/Event.h"
#include "params/GraphicNotifyHost.h"
#include "params/ShortText.h"

#include <atomic>
#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TVSTParameter;
class TVSTParameterHost;

// Display texts are formatted when they are read, on the reader's thread, so
// setting a value from the audio thread never formats one.
using TVSTParamOnGetStrValue = TEvent<TShortText(const TVSTParameter* Param)>;
using TVSTParamOnGetRealValue = TEvent<double(const TVSTParameter* Param)>;
using TVSTOnParamChange = TEvent<void(TVSTParameter* Param)>;
using TVSTOnParamAutomate = TEvent<void(TVSTParameter* Param, float Value)>;
// The start or the end of a gesture (a knob held) that changes Param.
using TVSTOnParamEdit = TEvent<void(TVSTParameter* Param)>;
// The host value for a number the user typed in the parameter's display unit.
using TVSTParamOnUnitToNormalized = TEvent<float(TVSTParameter* Param, double UnitValue)>;

class TVSTParameters;

// The step a host value x in [0, 1] falls on in a range of `range` steps: the
// nearest, halves to even; NaN counts as 0.
std::int32_t NearestStep(float x, std::int32_t range);

class TVSTParameter {
public:
  // Joins `collection` (which takes ownership) and takes its default name.
  explicit TVSTParameter(TVSTParameters* collection);
  // Tells the listeners first, then leaves the collection.
  ~TVSTParameter();
  TVSTParameter(const TVSTParameter&) = delete;
  TVSTParameter& operator=(const TVSTParameter&) = delete;

  TVSTParameters* Collection() const { return FCollection; }
  std::int32_t ID() const { return FID; }
  std::int32_t Index() const;
  TGraphicNotifyHost& Notifier() { return *FNotifier; }

  const std::string& Name() const { return FName; }
  void SetName(const std::string& name);
  const std::string& DisplayLabel() const { return FDisplayLabel; }
  void SetDisplayLabel(std::string label) { FDisplayLabel = std::move(label); }
  // The name for hosts that have room for a few characters only.
  const std::string& ShortName() const { return FShortName; }
  void SetShortName(std::string name) { FShortName = std::move(name); }

  std::int32_t MinValue() const { return FMinValue.load(std::memory_order_relaxed); }
  std::int32_t MaxValue() const { return FMaxValue.load(std::memory_order_relaxed); }
  std::int32_t CurValue() const { return CurValueOf(FValue.load(std::memory_order_acquire)); }
  std::int32_t DefValue() const { return FDefValue.load(std::memory_order_relaxed); }
  float NormalizedValue() const {
    return NormalizedValueOf(FValue.load(std::memory_order_acquire));
  }
  // Like the display text, worked out when it is read: setting a value from
  // the audio thread costs no conversion.
  double RealValue() const { return FOnGetRealValue ? FOnGetRealValue(this) : 0.0; }
  TShortText StrValue() const { return FOnGetStrValue ? FOnGetStrValue(this) : TShortText(); }
  bool Active() const { return FActive.load(std::memory_order_relaxed); }

  void SetMinValue(std::int32_t v);
  void SetMaxValue(std::int32_t v);
  void SetCurValue(std::int32_t v);
  void SetDefValue(std::int32_t v);

  const TVSTParamOnGetStrValue& OnGetStrValue() const { return FOnGetStrValue; }
  const TVSTParamOnGetRealValue& OnGetRealValue() const { return FOnGetRealValue; }
  const TVSTOnParamChange& OnParamChange() const { return FOnParamChange; }
  void SetOnGetStrValue(TVSTParamOnGetStrValue handler) { FOnGetStrValue = handler; }
  void SetOnGetRealValue(TVSTParamOnGetRealValue handler) { FOnGetRealValue = handler; }
  void SetOnParamChange(TVSTOnParamChange handler) { FOnParamChange = handler; }
  const TVSTParamOnUnitToNormalized& OnUnitToNormalized() const { return FOnUnitToNormalized; }
  void SetOnUnitToNormalized(TVSTParamOnUnitToNormalized handler) { FOnUnitToNormalized = handler; }

  // From the host: x in [0, 1] (NaN counts as 0) becomes the nearest step.
  void SetNormalizedValue(float x) { SetCurValue(StepOf(x)); }
  // The value SetNormalizedValue(x) would set.
  std::int32_t StepOf(float x) const {
    return MinValue() + NearestStep(x, MaxValue() - MinValue());
  }
  // What a host that modulates adds to the value, in host-value units:
  // processing follows the value moved by it, while the value itself, its
  // texts and the saved state never see it. 0 while nothing modulates. Any
  // thread, real-time safe; a non-finite amount counts as 0.
  double Modulation() const { return FModulation.load(std::memory_order_relaxed); }
  void SetModulation(double amount);
  // The step processing follows for the value `step` moved by `amount`:
  // clamped to the range and rounded as SetNormalizedValue rounds.
  std::int32_t ModulatedStep(std::int32_t step, double amount) const;
  std::int32_t ModulatedValue() const { return ModulatedStep(CurValue(), Modulation()); }
  // From an editor control: asks the host to move this parameter to v; the
  // value itself changes only when the host applies it.
  void RequestValue(std::int32_t v);
  // An editor control tells the host that the user takes hold of this
  // parameter, and lets go of it; its RequestValue calls lie in between.
  void BeginEdit();
  void EndEdit();

  void Activate();
  void DoParamChange();

private:
  std::int32_t Clamp(std::int32_t v) const;
  float ToNormalized(std::int32_t v) const;
  TVSTParameterHost* Host() const;
  // CurValue in the low half, the bits of its NormalizedValue in the high
  // half: threads that set values at once can never leave the two unmatched.
  static std::uint64_t Packed(std::int32_t cur, float normalized) {
    return std::uint64_t{std::bit_cast<std::uint32_t>(normalized)} << 32 |
           static_cast<std::uint32_t>(cur);
  }
  static std::int32_t CurValueOf(std::uint64_t packed) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(packed));
  }
  static float NormalizedValueOf(std::uint64_t packed) {
    return std::bit_cast<float>(static_cast<std::uint32_t>(packed >> 32));
  }

  std::unique_ptr<TGraphicNotifyHost> FNotifier;
  TVSTParameters* FCollection;
  std::int32_t FID;
  std::string FName;
  std::string FDisplayLabel;
  std::string FShortName;
  std::atomic<std::int32_t> FMinValue{0};
  std::atomic<std::int32_t> FMaxValue{0};
  std::atomic<std::uint64_t> FValue{0};
  static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
  std::atomic<std::int32_t> FDefValue{0};
  std::atomic<double> FModulation{0.0};
  static_assert(std::atomic<double>::is_always_lock_free);
  TVSTParamOnGetStrValue FOnGetStrValue;
  TVSTParamOnGetRealValue FOnGetRealValue;
  TVSTOnParamChange FOnParamChange;
  TVSTParamOnUnitToNormalized FOnUnitToNormalized;
  std::atomic<bool> FActive{false};
};

// The parameters in host index order. Owns its items.
class TVSTParameters {
public:
  explicit TVSTParameters(TVSTParameterHost* owner) : FOwner(owner) {}
  ~TVSTParameters();
  TVSTParameters(const TVSTParameters&) = delete;
  TVSTParameters& operator=(const TVSTParameters&) = delete;

  TVSTParameterHost* Owner() const { return FOwner; }
  std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
  TVSTParameter* Items(std::int32_t index) const { return FItems[index]; }
  // A new parameter at the end, named param<ID + 1> until renamed.
  TVSTParameter* Add();
  std::int32_t IndexOf(const TVSTParameter* param) const;
  std::int32_t IndexOfName(const std::string& name) const;
  TVSTParameter* ParamByName(const std::string& name) const;

private:
  friend class TVSTParameter;
  std::int32_t NextID() { return FNextID++; }
  void Insert(TVSTParameter* param) { FItems.push_back(param); }
  void Remove(TVSTParameter* param);

  TVSTParameterHost* FOwner;
  std::vector<TVSTParameter*> FItems;
  std::int32_t FNextID = 0;
};

// numerator / denominator (0 < denominator) rounded once to a float, as the
// exact quotient would be.
float QuotientToFloat(std::int32_t numerator, std::int32_t denominator);

// Letter case does not make two names different.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);
