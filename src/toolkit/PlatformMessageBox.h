// Implemented once per platform backend.
#pragma once

#include <string_view>

void PlatformShowMessageBox(std::string_view text);
