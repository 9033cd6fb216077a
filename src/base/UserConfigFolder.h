// Where per-user settings live: $XDG_CONFIG_HOME (else ~/.config) on Linux,
// %APPDATA% on Windows. Implemented once per platform.
#pragma once

#include <filesystem>

// Empty when the environment names no such folder.
std::filesystem::path UserConfigFolder();
