#include "params/VSTParameter.h"

#include "base/Error.h"
#include "base/ExtendedPrecision.h"
#include "base/FloatMidpoint.h"
#include "params/VSTParameterHost.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

TVSTParameter::TVSTParameter(TVSTParameters* collection)
    : FNotifier(std::make_unique<TGraphicNotifyHost>(this)), FCollection(collection),
      FID(collection->NextID()) {
  collection->Insert(this);
  try {
    SetName("param" + std::to_string(FID + 1));
  } catch (...) {
    collection->Remove(this);
    throw;
  }
}

TVSTParameter::~TVSTParameter() {
  FNotifier.reset();
  FCollection->Remove(this);
}

std::int32_t TVSTParameter::Index() const {
  return FCollection->IndexOf(this);
}

TVSTParameterHost* TVSTParameter::Host() const {
  return FCollection ? FCollection->Owner() : nullptr;
}

void TVSTParameter::SetName(const std::string& name) {
  const bool same = SameNameIgnoringCase(name, FName);
  if (!name.empty() && !same && FCollection->IndexOfName(name) >= 0) {
    char text[512];
    std::snprintf(text, sizeof text, "Duplicate parameter name '%s' in %s", name.c_str(),
                  "TVSTParameters");
    throw EGlowraspError(text);
  }
  FName = name;
  if (!same)
    FNotifier->Notify(gnNameChanged, 0);
}

std::int32_t TVSTParameter::Clamp(std::int32_t v) const {
  if (v > MaxValue())
    return MaxValue();
  if (v < MinValue())
    return MinValue();
  return v;
}

// The difference is formed in integers and the quotient rounded once.
float TVSTParameter::ToNormalized(std::int32_t v) const {
  const std::int32_t range = MaxValue() - MinValue();
  if (range == 0)
    return 0.0f;
  return QuotientToFloat(v - MinValue(), range);
}

void TVSTParameter::SetMinValue(std::int32_t v) {
  v = std::min(v, MaxValue());
  if (v == MinValue())
    return;
  FMinValue.store(v, std::memory_order_relaxed);
  FNotifier->Notify(gnRangeChanged, Index());
  if (CurValue() < MinValue())
    SetCurValue(MinValue());
  if (DefValue() < MinValue())
    SetDefValue(MinValue());
}

void TVSTParameter::SetMaxValue(std::int32_t v) {
  v = std::max(v, MinValue());
  if (v == MaxValue())
    return;
  FMaxValue.store(v, std::memory_order_relaxed);
  FNotifier->Notify(gnRangeChanged, Index());
  if (CurValue() > MaxValue())
    SetCurValue(MaxValue());
  if (DefValue() > MaxValue())
    SetDefValue(MaxValue());
}

// Two threads may set the same parameter at once: the pair is replaced whole,
// so whichever store comes last leaves a matched pair, and everything that
// follows a value (the sound, the host's read-back, the editor) reads it from
// here. A call that finds its value already stored takes effect, unchanged,
// before any later store; no locked instruction is needed on the audio thread.
void TVSTParameter::SetCurValue(std::int32_t v) {
  v = Clamp(v);
  if (CurValueOf(FValue.load(std::memory_order_relaxed)) == v)
    return;
  FValue.store(Packed(v, ToNormalized(v)), std::memory_order_release);
  DoParamChange();
}

void TVSTParameter::SetDefValue(std::int32_t v) {
  FDefValue.store(Clamp(v), std::memory_order_relaxed);
}

void TVSTParameter::DoParamChange() {
  if (Active() && FOnParamChange)
    FOnParamChange(this);
}

void TVSTParameter::Activate() {
  FActive.store(true, std::memory_order_relaxed);
}

namespace {

// 2^52: adding and taking it away again rounds a smaller non-negative double
// to a whole number, halves to even, without a library call.
constexpr double kRoundingShift = 4503599627370496.0;

// Below this many steps the product of a range and a float (24 significant
// bits) is exact in a double.
constexpr std::int32_t kExactProductRange = std::int32_t{1} << 29;

} // namespace

void TVSTParameter::SetModulation(double amount) {
  FModulation.store(std::isfinite(amount) ? amount : 0.0, std::memory_order_relaxed);
}

std::int32_t TVSTParameter::ModulatedStep(std::int32_t step, double amount) const {
  if (amount == 0.0)
    return step;
  const std::int32_t low = MinValue();
  const std::int32_t range = MaxValue() - low;
  if (range <= 0)
    return low;
  const double moved = static_cast<double>(step - low) / range + amount;
  return StepOf(static_cast<float>(std::clamp(moved, 0.0, 1.0)));
}

std::int32_t NearestStep(float x, std::int32_t range) {
  if (x > 1.0f)
    x = 1.0f;
  else if (!(x >= 0.0f))
    x = 0.0f;
  if (range >= 0 && range < kExactProductRange) {
    const double product = static_cast<double>(range) * x;
    return static_cast<std::int32_t>((product + kRoundingShift) - kRoundingShift);
  }
  // Exact product at 64-bit precision; nearbyint rounds halves to even.
  const TExtendedPrecision precision;
  return static_cast<std::int32_t>(std::nearbyint(static_cast<long double>(range) * x));
}

// The double quotient is the exact one rounded once; rounding it again to a
// float can only differ from rounding the exact quotient when it landed on a
// float's midpoint, and only then is the quotient taken at 64-bit precision.
float QuotientToFloat(std::int32_t numerator, std::int32_t denominator) {
  const double quotient = static_cast<double>(numerator) / denominator;
  if (!NearFloatMidpoint(quotient, 0))
    return static_cast<float>(quotient);
  const TExtendedPrecision precision;
  return static_cast<float>(static_cast<long double>(numerator) / denominator);
}

void TVSTParameter::RequestValue(std::int32_t v) {
  TVSTParameterHost* host = Host();
  if (!host || !host->OnParamAutomate())
    return;
  v = Clamp(v);
  if (v == CurValue())
    return;
  host->OnParamAutomate()(this, ToNormalized(v));
}

void TVSTParameter::BeginEdit() {
  if (TVSTParameterHost* host = Host(); host && host->OnParamBeginEdit())
    host->OnParamBeginEdit()(this);
}

void TVSTParameter::EndEdit() {
  if (TVSTParameterHost* host = Host(); host && host->OnParamEndEdit())
    host->OnParamEndEdit()(this);
}

TVSTParameters::~TVSTParameters() {
  while (!FItems.empty())
    delete FItems.back();
}

TVSTParameter* TVSTParameters::Add() {
  return new TVSTParameter(this);
}

void TVSTParameters::Remove(TVSTParameter* param) {
  const auto it = std::find(FItems.begin(), FItems.end(), param);
  if (it != FItems.end())
    FItems.erase(it);
}

std::int32_t TVSTParameters::IndexOf(const TVSTParameter* param) const {
  const auto it = std::find(FItems.begin(), FItems.end(), param);
  return it == FItems.end() ? -1 : static_cast<std::int32_t>(it - FItems.begin());
}

std::int32_t TVSTParameters::IndexOfName(const std::string& name) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (SameNameIgnoringCase(FItems[i]->Name(), name))
      return static_cast<std::int32_t>(i);
  return -1;
}

TVSTParameter* TVSTParameters::ParamByName(const std::string& name) const {
  const std::int32_t i = IndexOfName(name);
  return i < 0 ? nullptr : FItems[i];
}
