// Dispatcher opcodes whose answer is the same on every build and in every
// state, whatever the other arguments. One row per call: each runs on a fresh
// instance, with index 3, value 7 and opt 1.0 unless the row says otherwise.
#pragma once

#include "vst/DAEffect.h"

#include <limits>

namespace glowrasp::hosttest {

struct TOpcodeAnswer {
  const char* Name; // the test's name: letters, digits and underscores
  VstInt32 Opcode;
  VstIntPtr Result;
  VstInt32 Index = 3;
  VstIntPtr Value = 7;
  float Opt = 1.0f;
  const char* Argument = nullptr; // a text handed to the plug-in in ptr
  const char* Text = nullptr;     // the text the plug-in writes to a buffer in ptr
};

inline constexpr TOpcodeAnswer kOpcodeAnswers[] = {
    {.Name = "effOpen", .Opcode = effOpen, .Result = 0},
    {.Name = "effGetProgram", .Opcode = effGetProgram, .Result = 0},
    {.Name = "effSetSampleRate", .Opcode = effSetSampleRate, .Result = 0},
    {.Name = "effSetBlockSize", .Opcode = effSetBlockSize, .Result = 0},
    {.Name = "effMainsChanged", .Opcode = effMainsChanged, .Result = 0},
    {.Name = "effGetVu", .Opcode = effGetVu, .Result = 0},
    {.Name = "effEditDraw", .Opcode = effEditDraw, .Result = 0},
    {.Name = "effEditMouse", .Opcode = effEditMouse, .Result = 0},
    {.Name = "effEditKey", .Opcode = effEditKey, .Result = 0},
    {.Name = "effEditIdle", .Opcode = effEditIdle, .Result = 0},
    {.Name = "effEditTop", .Opcode = effEditTop, .Result = 0},
    {.Name = "effEditSleep", .Opcode = effEditSleep, .Result = 0},
    {.Name = "effEditClose", .Opcode = effEditClose, .Result = 0},
    {.Name = "effIdentify", .Opcode = effIdentify, .Result = 0x4E764566},
    {.Name = "effGetChunk", .Opcode = effGetChunk, .Result = 0},
    {.Name = "effSetChunk", .Opcode = effSetChunk, .Result = 0},
    {.Name = "Opcode25", .Opcode = 25, .Result = 0},
    {.Name = "Opcode51", .Opcode = 51, .Result = 0},
    {.Name = "OpcodeMinus1", .Opcode = -1, .Result = 0},
    {.Name = "OpcodeInt32Min", .Opcode = std::numeric_limits<VstInt32>::min(), .Result = 0},
};

} // namespace glowrasp::hosttest
