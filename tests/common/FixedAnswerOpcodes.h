// Dispatcher opcodes whose answer is the same on every build and in every
// state, whatever the other arguments: the host tests on Linux and under Wine
// run the same table.
#pragma once

#include "vst/DAEffect.h"

#include <limits>

struct TFixedAnswer {
  VstInt32 Opcode;
  VstIntPtr Result;
};

inline constexpr TFixedAnswer kFixedAnswers[] = {
    {effOpen, 0},
    {effGetProgram, 0},
    {effGetVu, 0},
    {effEditDraw, 0},
    {effEditMouse, 0},
    {effEditKey, 0},
    {effEditIdle, 0},
    {effEditTop, 0},
    {effEditSleep, 0},
    {effEditClose, 0},
    {effIdentify, 0x4E764566},
    {effGetChunk, 0},
    {effSetChunk, 0},
    {25, 0},
    {51, 0},
    {-1, 0},
    {std::numeric_limits<VstInt32>::min(), 0},
};
