// Replacing a small file so that readers, other writers and a crash see the
// old contents or the new, never a mix or nothing: the contents go to a
// temporary file of a name no other writer uses, reach the disk, and then
// take the file's place. Implemented once per platform.
#pragma once

#include <filesystem>
#include <string_view>

// False, with the file as it was, when any step fails.
bool ReplaceFileDurably(const std::filesystem::path& file, std::string_view contents);
