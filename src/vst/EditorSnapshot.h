// Requests of this plug-in's own tools that hosts never send: the pixels of the
// open editor, for screenshots and for comparing what a window shows with what
// the editor painted, and pointer input for an editor open without a window.
// They travel as the vendor-specific opcode with four-character codes of ours
// as index and the private request key as value.
#pragma once

#include "vst/DAEffect.h"
#include "vst/DVstUtils.h"
#include "vst/PrivateRequestKey.h"

#include <cstdint>

inline constexpr VstInt32 effVendorSpecific = 50;
inline constexpr VstInt32 kEditorSnapshotCode = FourCharCode("KGsh");
inline constexpr VstInt32 kEditorPointerCode = FourCharCode("KGpt");

// The caller's buffer of Width × Height pixels, 0x00RRGGBB, rows top down.
// Width and Height must be the editor's size in pixels (as getRect gives it).
struct TEditorSnapshot {
  VstInt32 Width;
  VstInt32 Height;
  std::uint32_t* Pixels;
};

enum TEditorPointerKind : VstInt32 { epPress = 0, epMove = 1, epRelease = 2 };

// One pointer event in editor client pixels. Button: 0 left, 1 right,
// 2 middle. Shift: the toolkit's shift-state flags (Shift 1, Alt 2, Ctrl 4,
// left 8, right 16, middle 32 held, double click 64).
struct TEditorPointer {
  VstInt32 Kind;
  VstInt32 Button;
  VstInt32 Shift;
  VstInt32 X;
  VstInt32 Y;
};
