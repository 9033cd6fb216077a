// A request of this plug-in's own tools that hosts never send: the pixels of
// the open editor, for screenshots and for comparing what a window shows with
// what the editor painted. It travels as the vendor-specific opcode with a
// four-character code of ours as index, so no host can send it by chance.
#pragma once

#include "vst/DAEffect.h"
#include "vst/DVstUtils.h"

#include <cstdint>

inline constexpr VstInt32 effVendorSpecific = 50;
inline constexpr VstInt32 kEditorSnapshotCode = FourCharCode("KGsh");

// The caller's buffer of Width × Height pixels, 0x00RRGGBB, rows top down.
// Width and Height must be the editor's size.
struct TEditorSnapshot {
  VstInt32 Width;
  VstInt32 Height;
  std::uint32_t* Pixels;
};
