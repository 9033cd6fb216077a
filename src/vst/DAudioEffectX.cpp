#include "vst/DAudioEffectX.h"

VstIntPtr AudioEffectX::dispatcher(std::int32_t opcode, std::int32_t index, VstIntPtr value,
                                   void* ptr, float opt) {
  char* text = static_cast<char*>(ptr);
  // A host that passes no buffer gets the neutral answer.
  const bool noPtr = ptr == nullptr;
  switch (opcode) {
  case effCanBeAutomated:
    return canParameterBeAutomated(index) ? 1 : 0;
  case effString2Parameter:
    return !noPtr && string2parameter(index, text) ? 1 : 0;
  case effGetProgramNameIndexed:
    return !noPtr && getProgramNameIndexed(static_cast<std::int32_t>(value), index, text) ? 1 : 0;
  case effGetInputProperties:
    return !noPtr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
  case effGetOutputProperties:
    return !noPtr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
  case effGetPlugCategory:
    return getPlugCategory();
  case effSetBypass:
    return setBypass(value != 0) ? 1 : 0;
  case effGetEffectName:
    return !noPtr && getEffectName(text) ? 1 : 0;
  case effGetVendorString:
    return !noPtr && getVendorString(text) ? 1 : 0;
  case effGetProductString:
    return !noPtr && getProductString(text) ? 1 : 0;
  case effGetVendorVersion:
    return getVendorVersion();
  case effCanDo:
    return noPtr ? 0 : canDo(text);
  case effGetTailSize:
    return getGetTailSize();
  case effGetParameterProperties:
    return !noPtr && getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1
                                                                                              : 0;
  case effGetVstVersion:
    return getVstVersion();
  case effStartProcess:
    return startProcess();
  case effStopProcess:
    return stopProcess();
  default:
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }
}
