// Pictures out as PNG files.
#pragma once

#include "hostlib/Editor.h"

#include <string>

namespace glowrasp::render {

class PendingFile;

// Writes the picture as 8-bit RGB into the pending file's descriptor; the
// caller commits. shownPath names the file in errors.
void writePng(PendingFile& file, const std::string& shownPath, const host::EditorPicture& picture);

} // namespace glowrasp::render
