// The VST 2 plug-in record and the numbers hosts and plug-ins exchange.
// The record is laid out exactly as 32-bit and 64-bit hosts read it; the
// offsets are checked below for both widths.
#pragma once

#include <cstddef>
#include <cstdint>

// Hosts pass the editor's parent window and the dispatcher's value as
// pointer-sized integers: 32 bits wide in 32-bit hosts, 64 bits in 64-bit ones.
using VstIntPtr = std::intptr_t;
using VstInt32 = std::int32_t;

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

struct AEffect;

using audioMasterCallback = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode,
                                                    VstInt32 index, VstIntPtr value, void* ptr,
                                                    float opt);
using AEffectDispatcherProc = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode,
                                                      VstInt32 index, VstIntPtr value, void* ptr,
                                                      float opt);
using AEffectProcessProc = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 sampleFrames);
using AEffectSetParameterProc = void(VSTCALLBACK*)(AEffect* effect, VstInt32 index,
                                                   float parameter);
using AEffectGetParameterProc = float(VSTCALLBACK*)(AEffect* effect, VstInt32 index);
using VstPluginMainProc = AEffect*(VSTCALLBACK*)(audioMasterCallback host);

struct AEffect {
  VstInt32 magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process;
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;
  VstIntPtr resvd1;
  VstIntPtr resvd2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;
  void* user;
  VstInt32 uniqueID;
  VstInt32 version;
  AEffectProcessProc processReplacing;
  // 64-bit hosts may look for a double-precision routine here; it stays null.
  char future[sizeof(void*) == 4 ? 60 : 64];
};

static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == (sizeof(void*) == 4 ? 4 : 8));
static_assert(offsetof(AEffect, process) == (sizeof(void*) == 4 ? 8 : 16));
static_assert(offsetof(AEffect, setParameter) == (sizeof(void*) == 4 ? 12 : 24));
static_assert(offsetof(AEffect, getParameter) == (sizeof(void*) == 4 ? 16 : 32));
static_assert(offsetof(AEffect, numPrograms) == (sizeof(void*) == 4 ? 20 : 40));
static_assert(offsetof(AEffect, numParams) == (sizeof(void*) == 4 ? 24 : 44));
static_assert(offsetof(AEffect, numInputs) == (sizeof(void*) == 4 ? 28 : 48));
static_assert(offsetof(AEffect, numOutputs) == (sizeof(void*) == 4 ? 32 : 52));
static_assert(offsetof(AEffect, flags) == (sizeof(void*) == 4 ? 36 : 56));
static_assert(offsetof(AEffect, resvd1) == (sizeof(void*) == 4 ? 40 : 64));
static_assert(offsetof(AEffect, resvd2) == (sizeof(void*) == 4 ? 44 : 72));
static_assert(offsetof(AEffect, initialDelay) == (sizeof(void*) == 4 ? 48 : 80));
static_assert(offsetof(AEffect, realQualities) == (sizeof(void*) == 4 ? 52 : 84));
static_assert(offsetof(AEffect, offQualities) == (sizeof(void*) == 4 ? 56 : 88));
static_assert(offsetof(AEffect, ioRatio) == (sizeof(void*) == 4 ? 60 : 92));
static_assert(offsetof(AEffect, object) == (sizeof(void*) == 4 ? 64 : 96));
static_assert(offsetof(AEffect, user) == (sizeof(void*) == 4 ? 68 : 104));
static_assert(offsetof(AEffect, uniqueID) == (sizeof(void*) == 4 ? 72 : 112));
static_assert(offsetof(AEffect, version) == (sizeof(void*) == 4 ? 76 : 116));
static_assert(offsetof(AEffect, processReplacing) == (sizeof(void*) == 4 ? 80 : 120));
static_assert(offsetof(AEffect, future) == (sizeof(void*) == 4 ? 84 : 128));
static_assert(sizeof(AEffect) == (sizeof(void*) == 4 ? 144 : 192));

// The editor rectangle handed out by effEditGetRect.
struct ERect {
  std::int16_t top;
  std::int16_t left;
  std::int16_t bottom;
  std::int16_t right;
};

enum : VstInt32 {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effGetVu = 9,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditDraw = 16,
  effEditMouse = 17,
  effEditKey = 18,
  effEditIdle = 19,
  effEditTop = 20,
  effEditSleep = 21,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
};

enum : VstInt32 {
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterCurrentId = 2,
  audioMasterIdle = 3,
  audioMasterPinConnected = 4,
};

enum : VstInt32 {
  effFlagsHasEditor = 1,
  effFlagsHasClip = 2,
  effFlagsHasVu = 4,
  effFlagsCanMono = 8,
  effFlagsCanReplacing = 16,
  effFlagsProgramChunks = 32,
};

// Hosts hand out 24-byte buffers for program names.
inline constexpr std::size_t kVstMaxProgNameLen = 24;
