// What the effect object tells hosts beyond the first level of the interface.
#include "vst/BoundedText.h"
#include "vst/VSTEffectBase.h"

#include <cstring>
#include <optional>
#include <string_view>

namespace {

struct TPin {
  const char* Label;
  const char* ShortLabel;
};

constexpr TPin kInputs[] = {{"Left In", "L In"}, {"Right In", "R In"}};
constexpr TPin kOutputs[] = {{"Left Out", "L Out"}, {"Right Out", "R Out"}};

bool PinProperties(const TPin (&pins)[2], std::int32_t index, std::int32_t count,
                   VstPinProperties* properties) {
  if (index < 0 || index >= count || index >= 2)
    return false;
  std::memset(properties, 0, sizeof *properties);
  CopyBounded(properties->label, pins[index].Label, kVstMaxLabelLen);
  CopyBounded(properties->shortLabel, pins[index].ShortLabel, kVstMaxShortLabelLen);
  properties->flags = kVstPinIsActive | (count == 2 ? kVstPinIsStereo : 0);
  properties->arrangementType = count == 2 ? kSpeakerArrStereo : kSpeakerArrMono;
  return true;
}

} // namespace

bool TVSTEffectBase::string2parameter(std::int32_t index, const char* text) {
  if (!validIndex(index) || !text)
    return false;
  // A parameter the collection lost raises its error here, as every
  // parameter call does.
  if (!parameterAt(index)->OnUnitToNormalized())
    return false;
  const std::optional<double> value = instance.TextToNormalized(index, text);
  if (!value)
    return false;
  setParameter(index, static_cast<float>(*value));
  return true;
}

// One program: its name, which the host may have changed.
bool TVSTEffectBase::getProgramNameIndexed(std::int32_t, std::int32_t index, char* text) {
  if (index != 0)
    return false;
  CopyBounded(text, programName, kVstMaxProgNameLen);
  return true;
}

bool TVSTEffectBase::getInputProperties(std::int32_t index, VstPinProperties* properties) {
  return PinProperties(kInputs, index, cEffect.numInputs, properties);
}

bool TVSTEffectBase::getOutputProperties(std::int32_t index, VstPinProperties* properties) {
  return PinProperties(kOutputs, index, cEffect.numOutputs, properties);
}

bool TVSTEffectBase::getEffectName(char* name) {
  CopyBounded(name, paramHost->EffectName, kVstMaxEffectNameLen);
  return true;
}

bool TVSTEffectBase::getVendorString(char* text) {
  CopyBounded(text, paramHost->VendorName, kVstMaxVendorStrLen);
  return true;
}

bool TVSTEffectBase::getProductString(char* text) {
  CopyBounded(text, paramHost->ProductName, kVstMaxProductStrLen);
  return true;
}

std::int32_t TVSTEffectBase::canDo(const char* text) {
  const std::string_view what(text);
  if (what == "bypass")
    return effectComponent->CanBypass() ? 1 : -1;
  if (what == "plugAsChannelInsert" || what == "plugAsSend")
    return 1;
  if (what == "2in2out")
    return cEffect.numInputs == 2 && cEffect.numOutputs == 2 ? 1 : 0;
  // No MIDI either way, and no offline interface.
  for (const char* cannot :
       {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "sendVstMidiEvent", "offline"})
    if (what == cannot)
      return -1;
  return 0;
}

// Continuous controls: no integer range, no steps, no switch.
bool TVSTEffectBase::getParameterProperties(std::int32_t index,
                                            VstParameterProperties* properties) {
  if (!validIndex(index))
    return false;
  const TParameterInfo& param = describedParameter(index);
  std::memset(properties, 0, sizeof *properties);
  CopyBounded(properties->label, param.Name, kVstMaxLabelLen);
  const std::string& shortName = param.ShortName.empty() ? param.Name : param.ShortName;
  CopyBounded(properties->shortLabel, shortName, kVstMaxShortLabelLen);
  properties->flags = kVstParameterSupportsDisplayIndex | kVstParameterCanRamp;
  properties->displayIndex = static_cast<std::int16_t>(index);
  return true;
}
