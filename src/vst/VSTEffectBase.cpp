#include "vst/VSTEffectBase.h"

#include "base/Error.h"
#include "vst/ContentScale.h"
#include "vst/DVstUtils.h"
#include "vst/EditorSnapshot.h"
#include "vst/MessageRecorder.h"
#include "vst/PrivateRequestKey.h"
#include "vst/VSTEditorBase.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

void CopyText(std::string_view text, char* buffer) {
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
}

// The host's rate to the nearest whole number, halves to even; rates no
// integer can hold are not passed on.
bool RoundedRate(float rate, std::int32_t& rounded) {
  const double nearest = std::nearbyint(static_cast<double>(rate));
  if (!(std::fabs(nearest) <= std::numeric_limits<std::int32_t>::max()))
    return false;
  rounded = static_cast<std::int32_t>(nearest);
  return true;
}

} // namespace

TVSTEffectBase::TVSTEffectBase(audioMasterCallback master, std::unique_ptr<TEffParameters> module,
                               TVSTParameterHost* host, TVSTEffect* component)
    : AudioEffectX(master, 1, host->Parameters().Count()), paramHost(host),
      effectComponent(component), instance(std::move(module)) {
  paramHost->SetOnParamAutomate(
      TVSTOnParamAutomate::Bind<&TVSTEffectBase::automateParameter>(this));
  paramHost->SetOnParamBeginEdit(TVSTOnParamEdit::Bind<&TVSTEffectBase::beginParameterEdit>(this));
  paramHost->SetOnParamEndEdit(TVSTOnParamEdit::Bind<&TVSTEffectBase::endParameterEdit>(this));
  effectComponent->SetVSTParamHost(paramHost);
  setProgram(0);
  setNumInputs(paramHost->InChannelCount());
  setNumOutputs(paramHost->OutChannelCount());
  canMono(paramHost->CanMono);
  canProcessReplacing(paramHost->CanProcessReplacing);
  setInitialDelay(effectComponent->GetDelay());
  std::string id = paramHost->UniqueId;
  while (id.size() < 4)
    id += 'x';
  setUniqueID(FourCharCode(id));
  setProgramName(paramHost->DefaultProgramName.c_str());
  if (effectComponent->HasEditor)
    setEditor(std::make_unique<TVSTEditorBase>(this, paramHost, effectComponent, instance));
}

TVSTEffectBase::~TVSTEffectBase() {
  // The editor goes first: its form still refers to the parameters.
  editor.reset();
  paramHost->SetOnParamAutomate({});
  paramHost->SetOnParamBeginEdit({});
  paramHost->SetOnParamEndEdit({});
}

TVSTParameter* TVSTEffectBase::parameterAt(std::int32_t index) const {
  const TVSTParameters& parameters = paramHost->Parameters();
  if (index < 0 || index >= parameters.Count())
    throw EGlowraspError("List index out of bounds (" + std::to_string(index) + ")");
  return parameters.Items(index);
}

void TVSTEffectBase::setSampleRate(float rate) {
  AudioEffect::setSampleRate(rate);
  std::int32_t rounded = 0;
  if (RoundedRate(rate, rounded))
    paramHost->SetSampleRate(rounded);
}

void TVSTEffectBase::setBlockSize(std::int32_t size) {
  AudioEffect::setBlockSize(size);
  paramHost->SetBlockSize(size);
}

void TVSTEffectBase::setParameter(std::int32_t index, float value) {
  if (!validIndex(index))
    return;
  if (!(value >= 0.0f))
    value = 0.0f;
  else if (value > 1.0f)
    value = 1.0f;
  parameterAt(index);
  instance.SetNormalizedValue(index, value);
}

float TVSTEffectBase::getParameter(std::int32_t index) {
  if (!validIndex(index))
    return 0.0f;
  parameterAt(index);
  return static_cast<float>(instance.NormalizedValue(index));
}

const TParameterInfo& TVSTEffectBase::describedParameter(std::int32_t index) const {
  parameterAt(index);
  return TEffectInstance::Parameter(index);
}

void TVSTEffectBase::process(float** inputs, float** outputs, std::int32_t sampleFrames) {
  doProcess(inputs, outputs, sampleFrames, false);
}

void TVSTEffectBase::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
  doProcess(inputs, outputs, sampleFrames, true);
}

void TVSTEffectBase::doProcess(float** inputs, float** outputs, std::int32_t sampleFrames,
                               bool replacing) {
  if (!inputs || !outputs || sampleFrames <= 0)
    return;
  // The parameter host holds both channel counts at two, so a call is either
  // genuine stereo or one signal that the host feeds to both inputs.
  constexpr std::int32_t channels = TVSTParameterHost::ChannelCount;
  static_assert(channels == 2, "the processing routes are stereo");
  TVSTEffectOnProcessRecord record;
  for (std::int32_t i = 0; i < channels; ++i) {
    record.Inputs[i] = inputs[i];
    record.Outputs[i] = outputs[i];
  }
  record.SampleFrames = sampleFrames;
  record.Replacing = replacing ? -1 : 0;
  if (record.Inputs[0] != record.Inputs[1])
    effectComponent->ProcessS2S(&record);
  else
    effectComponent->ProcessS2Sm(&record);
}

void TVSTEffectBase::getProgramName(char* buffer) {
  // Hosts give a buffer of kVstMaxProgNameLen bytes.
  CopyText(std::string_view(programName).substr(0, kVstMaxProgNameLen - 1), buffer);
}

void TVSTEffectBase::getParameterLabel(std::int32_t index, char* buffer) {
  CopyText(validIndex(index) ? std::string_view(describedParameter(index).Unit) : "", buffer);
}

void TVSTEffectBase::getParameterDisplay(std::int32_t index, char* buffer) {
  if (!validIndex(index))
    return CopyText("", buffer);
  parameterAt(index);
  CopyText(instance.ValueText(index, instance.NormalizedValue(index)), buffer);
}

void TVSTEffectBase::getParameterName(std::int32_t index, char* buffer) {
  CopyText(validIndex(index) ? std::string_view(describedParameter(index).Name) : "", buffer);
}

void TVSTEffectBase::automateParameter(TVSTParameter* Param, float Value) {
  setParameterAutomated(Param->Index(), Value);
}

VstIntPtr TVSTEffectBase::vendorSpecific(std::int32_t index, VstIntPtr value, void* ptr,
                                         float opt) {
  // The content-scale request hosts send: 'PreS' with 'AeCs', the factor in opt.
  if (index == kContentScaleIndex && value == kContentScaleValue) {
    if (!editor)
      return 0;
    static_cast<TVSTEditorBase*>(editor.get())->setHostScale(opt);
    return 1;
  }
  if (value != kPrivateRequestKey)
    return 0;
  if (index == kMessageRecorderCode)
    return InstallMessageRecorder(reinterpret_cast<TMessageRecorder>(ptr));
  TForm* form = editor ? static_cast<TVSTEditorBase*>(editor.get())->Form() : nullptr;
  if (!form || !ptr)
    return 0;
  if (index == kEditorSnapshotCode)
    return copySnapshot(*form, *static_cast<TEditorSnapshot*>(ptr));
  if (index == kEditorPointerCode)
    return deliverPointer(*form, *static_cast<const TEditorPointer*>(ptr));
  return 0;
}

// The picture as the editor shows it now: values set since its last idle
// are painted first.
VstIntPtr TVSTEffectBase::copySnapshot(TForm& form, TEditorSnapshot& snapshot) {
  if (!snapshot.Pixels || snapshot.Width != form.PixelSize().Width ||
      snapshot.Height != form.PixelSize().Height)
    return 0;
  form.PollControls();
  const std::vector<std::uint32_t>& pixels = form.BackBuffer().Pixels();
  std::memcpy(snapshot.Pixels, pixels.data(), pixels.size() * sizeof(std::uint32_t));
  return 1;
}

VstIntPtr TVSTEffectBase::deliverPointer(TForm& form, const TEditorPointer& pointer) {
  if (pointer.Button < mbLeft || pointer.Button > mbMiddle)
    return 0;
  const auto button = static_cast<TMouseButton>(pointer.Button);
  const auto shift = static_cast<TShiftState>(pointer.Shift);
  switch (pointer.Kind) {
  case epPress:
    form.MouseDown(button, shift, pointer.X, pointer.Y);
    return 1;
  case epMove:
    form.MouseMove(shift, pointer.X, pointer.Y);
    return 1;
  case epRelease:
    form.MouseUp(button, shift, pointer.X, pointer.Y);
    return 1;
  default:
    return 0;
  }
}
