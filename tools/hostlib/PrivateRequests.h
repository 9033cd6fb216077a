// What the plug-in's private requests carry: its editor's pixels, pointer
// input for an editor open without a window, and a recorder for its message
// boxes. Send them with Plugin::privateRequest.
#pragma once

#include "vst/EditorSnapshot.h"
#include "vst/MessageRecorder.h"
