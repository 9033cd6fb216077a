#include "vst/DAudioEffect.h"

#include "toolkit/MessageBox.h"
#include "vst/DVstUtils.h"
#include "vst/EditorSnapshot.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <utility>

namespace {

// An error never crosses into the host: it is shown, and the host gets a
// neutral answer. Errors of other kinds are shown too, because letting them
// unwind into a C caller would end the host's process.
template <class Result, class Call>
Result Guarded(const char* prefix, Result neutral, Call&& call) {
  try {
    return call();
  } catch (const std::exception& error) {
    ShowMessageBox(std::string(prefix) + error.what());
  } catch (...) {
    ShowMessageBox(std::string(prefix) + "unknown error");
  }
  return neutral;
}

template <class Call>
void GuardedVoid(const char* prefix, Call&& call) {
  Guarded(prefix, 0, [&] {
    call();
    return 0;
  });
}

VstIntPtr VSTCALLBACK DispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                    void* ptr, float opt) {
  AudioEffect* object = AudioEffect::FromRecord(e);
  if (!object)
    return 0;
  return Guarded<VstIntPtr>("Exception during \"dispatchEffectClass\": ", 0, [&]() -> VstIntPtr {
    if (opcode != effClose)
      return object->dispatcher(opcode, index, value, ptr, opt);
    object->dispatcher(opcode, index, value, ptr, opt);
    // The host hands back the instance main gave it: its one release.
    const std::unique_ptr<AudioEffect> closed(object);
    return 1;
  });
}

void VSTCALLBACK ProcessEntry(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
  if (AudioEffect* object = AudioEffect::FromRecord(e))
    GuardedVoid("Exception during \"processClass\": ",
                [&] { object->process(inputs, outputs, sampleFrames); });
}

void VSTCALLBACK ProcessReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                       VstInt32 sampleFrames) {
  if (AudioEffect* object = AudioEffect::FromRecord(e))
    GuardedVoid("Exception during \"processClassReplacing\": ",
                [&] { object->processReplacing(inputs, outputs, sampleFrames); });
}

void VSTCALLBACK SetParameterEntry(AEffect* e, VstInt32 index, float value) {
  if (AudioEffect* object = AudioEffect::FromRecord(e))
    GuardedVoid("Exception during \"setParameterClass\": ",
                [&] { object->setParameter(index, value); });
}

float VSTCALLBACK GetParameterEntry(AEffect* e, VstInt32 index) {
  AudioEffect* object = AudioEffect::FromRecord(e);
  if (!object)
    return 0.0f;
  return Guarded("Exception during \"getParameterClass\": ", 0.0f,
                 [&] { return object->getParameter(index); });
}

// Nearest integer, halves to even; out of range or not a number gives 0.
std::int32_t RoundedVu(float vu) {
  const double scaled = static_cast<double>(vu) * 32767.0;
  if (!(std::fabs(scaled) < 2147483647.0))
    return 0;
  return static_cast<std::int32_t>(std::nearbyint(scaled));
}

} // namespace

std::int32_t AEffEditor::getRect(ERect** rect) {
  *rect = nullptr;
  return 0;
}

std::int32_t AEffEditor::open(void* ptr) {
  systemWindow = ptr;
  return 0;
}

void AEffEditor::idle() {
  if (updateFlag) {
    updateFlag = 0;
    update();
  }
}

AudioEffect::AudioEffect(audioMasterCallback master, std::int32_t programs, std::int32_t params)
    : numPrograms(programs), numParams(params), audioMaster(master) {
  std::memset(&cEffect, 0, sizeof cEffect);
  cEffect.magic = FourCharCode("VstP");
  cEffect.dispatcher = DispatchEntry;
  cEffect.process = ProcessEntry;
  cEffect.setParameter = SetParameterEntry;
  cEffect.getParameter = GetParameterEntry;
  cEffect.numPrograms = numPrograms;
  cEffect.numParams = numParams;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.uniqueID = FourCharCode("NoEf");
  cEffect.version = 1;
  cEffect.processReplacing = ProcessReplacingEntry;
}

AudioEffect::~AudioEffect() = default;

AudioEffect* AudioEffect::FromRecord(AEffect* record) {
  return record ? static_cast<AudioEffect*>(record->object) : nullptr;
}

void AudioEffect::setEditor(std::unique_ptr<AEffEditor> newEditor) {
  editor = std::move(newEditor);
  setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setParameterAutomated(std::int32_t index, float value) {
  setParameter(index, value);
  callHost(audioMasterAutomate, index, 0, value);
}

std::int32_t AudioEffect::getMasterVersion() {
  if (!audioMaster)
    return 1;
  const auto version = static_cast<std::int32_t>(callHost(audioMasterVersion, 0, 0, 0.0f));
  return version == 0 ? 1 : version;
}

std::int32_t AudioEffect::getCurrentUniqueId() {
  return static_cast<std::int32_t>(callHost(audioMasterCurrentId, 0, 0, 0.0f));
}

void AudioEffect::masterIdle() {
  callHost(audioMasterIdle, 0, 0, 0.0f);
}

bool AudioEffect::isInputConnected(std::int32_t input) {
  return !audioMaster || callHost(audioMasterPinConnected, input, 0, 0.0f) == 0;
}

bool AudioEffect::isOutputConnected(std::int32_t output) {
  return !audioMaster || callHost(audioMasterPinConnected, output, 1, 0.0f) == 0;
}

VstIntPtr AudioEffect::dispatcher(std::int32_t opcode, std::int32_t index, VstIntPtr value,
                                  void* ptr, float opt) {
  char* text = static_cast<char*>(ptr);
  // A host that passes no buffer gets the neutral answer.
  const bool noText = text == nullptr;
  switch (static_cast<std::uint32_t>(opcode)) {
  case effOpen:
    open();
    return 0;
  case effClose:
    close();
    return 0;
  case effSetProgram:
    // Compared before narrowing, so that no value outside the range wraps into it.
    if (value >= 0 && value < numPrograms)
      setProgram(static_cast<std::int32_t>(value));
    return 0;
  case effGetProgram:
    return getProgram();
  case effSetProgramName:
    if (!noText)
      setProgramName(text);
    return 0;
  case effGetProgramName:
    if (!noText)
      getProgramName(text);
    return 0;
  case effGetParamLabel:
    if (!noText)
      getParameterLabel(index, text);
    return 0;
  case effGetParamDisplay:
    if (!noText)
      getParameterDisplay(index, text);
    return 0;
  case effGetParamName:
    if (!noText)
      getParameterName(index, text);
    return 0;
  case effGetVu:
    return RoundedVu(getVu());
  case effSetSampleRate:
    setSampleRate(opt);
    return 0;
  case effSetBlockSize:
    setBlockSize(static_cast<std::int32_t>(value));
    return 0;
  case effMainsChanged:
    if (value == 0)
      suspend();
    else
      resume();
    return 0;
  case effEditGetRect: {
    if (!editor || !ptr)
      return 0;
    auto** slot = static_cast<ERect**>(ptr);
    ERect* rect = *slot;
    const std::int32_t result = editor->getRect(&rect);
    *slot = rect;
    return result;
  }
  case effEditOpen:
    return editor ? editor->open(ptr) : 0;
  case effEditClose:
    if (editor)
      editor->close();
    return 0;
  case effEditIdle:
    if (editor)
      editor->idle();
    return 0;
  case effIdentify:
    return FourCharCode("NvEf");
  case effGetChunk:
    return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
  case effSetChunk:
    return setChunk(ptr, static_cast<std::int32_t>(value), index != 0);
  case effVendorSpecific:
    return vendorSpecific(index, value, ptr, opt);
  default:
    return 0;
  }
}
