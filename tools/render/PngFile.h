// Pictures out as PNG files.
#pragma once

#include "hostlib/Editor.h"

#include <string>

namespace glowrasp::render {

class OutputFile;

// Writes the picture as 8-bit RGB into the output file's descriptor; the
// caller commits. shownPath names the file in errors.
void writePng(const OutputFile& file, const std::string& shownPath,
              const host::EditorPicture& picture);

} // namespace glowrasp::render
