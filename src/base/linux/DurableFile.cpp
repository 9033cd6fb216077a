#include "base/DurableFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

bool WriteAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = write(fd, contents.data(), contents.size());
    if (written <= 0)
      return false;
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The rename lasts only once the folder that records it is on the disk too.
void SyncFolder(const std::filesystem::path& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return;
  fsync(fd);
  close(fd);
}

} // namespace

bool ReplaceFileDurably(const std::filesystem::path& file, std::string_view contents) {
  std::string temporary = file.string() + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0)
    return false;
  bool ok = WriteAll(fd, contents) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && std::rename(temporary.c_str(), file.c_str()) == 0) {
    SyncFolder(file.parent_path());
    return true;
  }
  unlink(temporary.c_str());
  return false;
}
