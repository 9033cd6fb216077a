#include "toolkit/PlatformMessageBox.h"

#include <string>

#include <windows.h>

// Task-modal with no owner: the guards run on whatever thread the host called
// from, the audio thread included, and have no window of their own.
void PlatformShowMessageBox(std::string_view text) {
  const std::string message(text);
  MessageBoxA(nullptr, message.c_str(), "Kestrune Glowrasp", MB_OK | MB_TASKMODAL);
}
