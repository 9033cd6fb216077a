#include "render/OutputFile.h"

#include "render/InPlaceOutput.h"
#include "render/PendingFile.h"

#include <sys/stat.h>

namespace glowrasp::render {

std::unique_ptr<OutputFile> openOutputFile(const std::string& path) {
  // stat() follows every link, /dev/stdout's included, to what a shell's
  // redirection would open.
  struct stat status {};
  if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode))
    return std::make_unique<InPlaceOutput>(path, S_ISFIFO(status.st_mode));
  return std::make_unique<PendingFile>(path);
}

} // namespace glowrasp::render
