// A request of this plug-in's own tests that hosts never send: message boxes
// go to a recorder of the caller's instead of the screen, for the whole
// library, until the same request with a null recorder brings them back.
// Tests of the built library need it because a box would wait for a click.
// Like the snapshot request it travels as the vendor-specific opcode with a
// four-character code of ours as index and the private request key as value.
#pragma once

#include "vst/DAEffect.h"
#include "vst/DVstUtils.h"
#include "vst/PrivateRequestKey.h"

inline constexpr VstInt32 kMessageRecorderCode = FourCharCode("KGmr");

// Receives the full text of each message box, zero-terminated.
using TMessageRecorder = void(VSTCALLBACK*)(const char* text);

// Installs `recorder` (null: the platform's box again); answers 1.
VstIntPtr InstallMessageRecorder(TMessageRecorder recorder);
