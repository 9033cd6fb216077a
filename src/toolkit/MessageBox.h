// A modal message box with one OK button. The call returns once the user has
// dismissed it.
#pragma once

#include <string_view>

void ShowMessageBox(std::string_view text);

// Tests replace the box with a recorder; null restores the platform's box.
using TMessageBoxHook = void (*)(std::string_view text);
void SetMessageBoxHook(TMessageBoxHook hook);
