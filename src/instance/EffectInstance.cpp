#include "instance/EffectInstance.h"

#include "instance/EditorStateRecord.h"
#include "instance/StateRecord.h"
#include "params/TypedValue.h"
#include "shaper/EffParams.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <limits>

namespace {

// Hosts need not tell a block size, but the effect component creates the
// processor only once it has been told one; the processor does not depend on it.
constexpr std::int32_t kNominalBlockSize = 1024;

static_assert(TEffectInstance::kParameterCount == std::ssize(kParameterTable));
static_assert(TEffectInstance::kBypassIndex == kBypassParameter);

TParameterInfo InfoOf(const TParameterDescription& d) {
  return {d.Id,
          std::string(d.Name),
          std::string(d.ShortName),
          std::string(d.Unit),
          d.Min,
          d.Max,
          d.Default,
          d.StepCount,
          d.Scale == TParameterScale::Switch};
}

const std::array<TParameterInfo, TEffectInstance::kParameterCount> kParameters = {
    InfoOf(kParameterTable[0]), InfoOf(kParameterTable[1]), InfoOf(kParameterTable[2]),
    InfoOf(kParameterTable[3])};

bool ValidIndex(std::int32_t index) {
  return index >= 0 && index < TEffectInstance::kParameterCount;
}

const TParameterDescription& Range(std::int32_t index) {
  return kParameterTable[static_cast<std::size_t>(index)];
}

bool SwitchOn(double normalized) {
  return static_cast<float>(normalized) >= 0.5f;
}

std::int32_t RoundedSampleRate(double rate) {
  const double nearest = std::nearbyint(rate);
  if (!(nearest >= 1.0 && nearest <= std::numeric_limits<std::int32_t>::max()))
    return 44100;
  return static_cast<std::int32_t>(nearest);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// "On" and "Off" as shown, or a number: at least a half is on.
std::optional<double> ParseSwitch(std::string_view text) {
  const std::string_view words[] = {"Off", "On"};
  for (std::size_t i = 0; i < 2; ++i) {
    std::string_view trimmed = text;
    while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.front())))
      trimmed.remove_prefix(1);
    while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back())))
      trimmed.remove_suffix(1);
    if (SameIgnoringCase(trimmed, words[i]))
      return static_cast<double>(i);
  }
  const std::optional<double> value = ParseTypedValue(text, "");
  if (!value)
    return std::nullopt;
  return *value >= 0.5 ? 1.0 : 0.0;
}

} // namespace

TEffectInstance::TEffectInstance(double sampleRate)
    : FDefinition(std::make_unique<TEffParameters>(nullptr, TVSTEffectOnCreateEditor())),
      FSettingChanges(std::make_unique<TSettingChange[]>(kChangesPerPass)) {
  TVSTParameterHost* host = FDefinition->ParamHost();
  TVSTEffect* effect = FDefinition->EffectProcessor();
  effect->SetVSTParamHost(host);
  host->SetSampleRate(RoundedSampleRate(sampleRate));
  host->SetBlockSize(kNominalBlockSize);
}

TEffectInstance::TEffectInstance(std::unique_ptr<TEffParameters> definition)
    : FDefinition(std::move(definition)),
      FSettingChanges(std::make_unique<TSettingChange[]>(kChangesPerPass)) {}

TEffectInstance::~TEffectInstance() = default;

const TParameterInfo& TEffectInstance::Parameter(std::int32_t index) {
  return kParameters[static_cast<std::size_t>(index)];
}

std::int32_t TEffectInstance::ParameterIndex(std::int32_t id) {
  for (std::int32_t i = 0; i < kParameterCount; ++i)
    if (kParameters[i].Id == id)
      return i;
  return -1;
}

TVSTParameter* TEffectInstance::ModelParameter(std::int32_t index) const {
  return FDefinition->ParamHost()->Parameters().Items(index);
}

double TEffectInstance::NormalizedValue(std::int32_t index) const {
  if (!ValidIndex(index))
    return 0.0;
  if (index == kBypassIndex)
    return Bypass() ? 1.0 : 0.0;
  return ModelParameter(index)->NormalizedValue();
}

void TEffectInstance::SetNormalizedValue(std::int32_t index, double value) {
  if (!ValidIndex(index))
    return;
  if (index == kBypassIndex)
    SetBypass(SwitchOn(value));
  else
    ModelParameter(index)->SetNormalizedValue(static_cast<float>(value));
}

double TEffectInstance::Modulation(std::int32_t index) const {
  if (!ValidIndex(index) || index == kBypassIndex)
    return 0.0;
  return ModelParameter(index)->Modulation();
}

void TEffectInstance::SetModulation(std::int32_t index, double amount) {
  if (ValidIndex(index) && index != kBypassIndex)
    ModelParameter(index)->SetModulation(amount);
}

void TEffectInstance::ClearModulation() {
  for (std::int32_t i = 0; i < kBypassIndex; ++i)
    ModelParameter(i)->SetModulation(0.0);
}

double TEffectInstance::NormalizedToPlain(std::int32_t index, double normalized) const {
  if (!ValidIndex(index))
    return 0.0;
  normalized = std::clamp(normalized, 0.0, 1.0);
  if (index == kBypassIndex)
    return SwitchOn(normalized) ? 1.0 : 0.0;
  return (normalized - Range(index).ZeroAt()) * Range(index).Span();
}

// The same formulas the typed values go through.
double TEffectInstance::PlainToNormalized(std::int32_t index, double plain) const {
  if (!ValidIndex(index) || std::isnan(plain))
    return 0.0;
  if (index == kBypassIndex)
    return plain >= 0.5 ? 1.0 : 0.0;
  return std::clamp(plain / Range(index).Span() + Range(index).ZeroAt(), 0.0, 1.0);
}

std::string TEffectInstance::ValueText(std::int32_t index, double normalized) const {
  if (!ValidIndex(index))
    return {};
  if (index == kBypassIndex)
    return SwitchOn(normalized) ? "On" : "Off";
  const TVSTParameter* param = ModelParameter(index);
  const std::int32_t value = param->StepOf(static_cast<float>(normalized));
  return std::string(UnitText(Range(index), value, param->MaxValue()).View());
}

std::optional<double> TEffectInstance::TextToNormalized(std::int32_t index,
                                                        std::string_view text) const {
  if (!ValidIndex(index))
    return std::nullopt;
  if (index == kBypassIndex)
    return ParseSwitch(text);
  return TypedNormalizedValue(*ModelParameter(index), text);
}

void TEffectInstance::Reset() {
  FDefinition->EffectProcessor()->Clear();
}

namespace {

// The bypass switches and is never modulated.
bool Applicable(const TParameterChange& change) {
  return ValidIndex(change.Index) &&
         !(change.Modulation && change.Index == TEffectInstance::kBypassIndex);
}

bool Usable(const float* const* inputs, float* const* outputs, std::int32_t frames) {
  return inputs && outputs && frames > 0 && inputs[0] && inputs[1] && outputs[0] && outputs[1];
}

} // namespace

void TEffectInstance::Process(const float* const* inputs, float* const* outputs,
                              std::int32_t frames) {
  if (Usable(inputs, outputs, frames))
    ProcessPass(inputs, outputs, 0, frames, {});
}

void TEffectInstance::ProcessPass(const float* const* inputs, float* const* outputs,
                                  std::int32_t from, std::int32_t to,
                                  std::span<const TSettingChange> changes) {
  if (to <= from) {
    FDefinition->ApplySettingChanges(changes);
    return;
  }
  // The record is the processing handlers' shared form; they only read the inputs.
  TVSTEffectOnProcessRecord record;
  record.Inputs[0] = const_cast<float*>(inputs[0] + from);
  record.Inputs[1] = const_cast<float*>(inputs[1] + from);
  record.Outputs[0] = outputs[0] + from;
  record.Outputs[1] = outputs[1] + from;
  record.SampleFrames = to - from;
  record.Replacing = -1;
  FDefinition->SetBlockChanges(changes);
  TVSTEffect* effect = FDefinition->EffectProcessor();
  if (inputs[0] == inputs[1])
    effect->ProcessS2Sm(&record);
  else
    effect->ProcessS2S(&record);
  FDefinition->SetBlockChanges({});
}

// Passes end at a bypass change (the soft bypass takes it between calls) and
// when the changes of one pass are full.
void TEffectInstance::Process(const float* const* inputs, float* const* outputs,
                              std::int32_t frames, std::span<const TParameterChange> changes) {
  if (Usable(inputs, outputs, frames)) {
    // A value and a modulation combine: each change sets one of the two, and
    // the processor follows their sum from its frame on.
    std::array<std::int32_t, kBypassIndex> steps{};
    std::array<double, kBypassIndex> amounts{};
    for (std::int32_t i = 0; i < kBypassIndex; ++i) {
      steps[i] = ModelParameter(i)->CurValue();
      amounts[i] = ModelParameter(i)->Modulation();
    }
    std::int32_t from = 0;
    std::size_t next = 0;
    while (next < changes.size()) {
      std::size_t count = 0;
      std::int32_t to = frames;
      for (; next < changes.size(); ++next) {
        const TParameterChange& change = changes[next];
        if (!Applicable(change))
          continue;
        const std::int32_t at = std::clamp(change.Frame, from, frames);
        if (change.Index == kBypassIndex || count == kChangesPerPass) {
          to = at;
          break;
        }
        const TVSTParameter& param = *ModelParameter(change.Index);
        const auto i = static_cast<std::size_t>(change.Index);
        if (change.Modulation)
          amounts[i] = std::isfinite(change.Normalized) ? change.Normalized : 0.0;
        else
          steps[i] = param.StepOf(static_cast<float>(change.Normalized));
        FSettingChanges[count++] = FDefinition->SettingChangeAt(
            at - from, change.Index, param.ModulatedStep(steps[i], amounts[i]));
      }
      ProcessPass(inputs, outputs, from, to, std::span(FSettingChanges.get(), count));
      from = to;
      if (next < changes.size() && changes[next].Index == kBypassIndex)
        SetBypass(SwitchOn(changes[next++].Normalized));
    }
    if (from < frames)
      ProcessPass(inputs, outputs, from, frames, {});
  }
  // What the host reads back: every parameter's last value and last
  // modulation, each set once.
  unsigned set = 0;
  for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
    if (!Applicable(*change))
      continue;
    const unsigned bit = 1u << (change->Index + (change->Modulation ? kParameterCount : 0));
    if (set & bit)
      continue;
    set |= bit;
    if (change->Modulation)
      SetModulation(change->Index, change->Normalized);
    else
      SetNormalizedValue(change->Index, change->Normalized);
  }
  if (!changes.empty())
    FDefinition->ForgetAppliedSettings();
}

std::int32_t TEffectInstance::Latency() const {
  return FDefinition->EffectProcessor()->GetDelay();
}

std::int32_t TEffectInstance::Tail() const {
  return FDefinition->ParamHost()->TailSize;
}

void TEffectInstance::SetBypass(bool bypass) {
  FDefinition->EffectProcessor()->SetBypass(bypass);
}

bool TEffectInstance::Bypass() const {
  return FDefinition->Bypass();
}

std::vector<std::uint8_t> TEffectInstance::SaveState(TStateParts parts) const {
  std::vector<std::uint8_t> bytes;
  if (parts & spValues) {
    TStateValues values;
    for (std::int32_t i = 0; i < kBypassIndex; ++i)
      values.Steps.push_back({kParameters[i].Id, ModelParameter(i)->CurValue()});
    values.Bypass = Bypass();
    bytes = EncodeState(values);
  }
  if (const std::optional<double> zoom = EditorZoom(); zoom && (parts & spEditor)) {
    const std::vector<std::uint8_t> editor = EncodeEditorState(*zoom);
    bytes.insert(bytes.end(), editor.begin(), editor.end());
  }
  return bytes;
}

bool TEffectInstance::LoadState(std::span<const std::uint8_t> bytes, TStateParts parts) {
  std::span<const std::uint8_t> rest = bytes;
  if (parts & spValues) {
    const std::size_t size = StateRecordSize(bytes).value_or(bytes.size());
    if (size > bytes.size() || !ApplyValues(bytes.first(size)))
      return false;
    rest = bytes.subspan(size);
  }
  if (parts & spEditor)
    SetEditorZoom(DecodeEditorState(rest));
  return true;
}

bool TEffectInstance::ApplyValues(std::span<const std::uint8_t> record) {
  const std::optional<TStateValues> values = DecodeState(record);
  if (!values)
    return false;
  // Every value is checked before any is applied.
  for (const TStateStep& step : values->Steps) {
    const std::int32_t index = ParameterIndex(step.Id);
    if (index < 0 || index == kBypassIndex)
      continue;
    const TVSTParameter* param = ModelParameter(index);
    if (step.Value < param->MinValue() || step.Value > param->MaxValue())
      return false;
  }
  for (const TStateStep& step : values->Steps) {
    const std::int32_t index = ParameterIndex(step.Id);
    if (index >= 0 && index != kBypassIndex)
      ModelParameter(index)->SetCurValue(step.Value);
  }
  SetBypass(values->Bypass);
  return true;
}

std::optional<double> TEffectInstance::EditorZoom() const {
  const int percent = FEditorZoomPercent.load(std::memory_order_relaxed);
  if (percent == kNoEditorZoom)
    return std::nullopt;
  return percent / 100.0;
}

void TEffectInstance::SetEditorZoom(std::optional<double> zoom) {
  FEditorZoomPercent.store(zoom ? EditorZoomPercent(*zoom) : kNoEditorZoom,
                           std::memory_order_relaxed);
}
