#include "render/InPlaceOutput.h"

#include "common/StopSignals.h"
#include "hostlib/PluginHost.h"
#include "render/StreamWriter.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <utility>
#include <vector>

namespace glowrasp::render {
namespace {

// How often a FIFO without a reader is tried again: the open itself would
// wait through a stop signal.
constexpr std::chrono::milliseconds kReaderPoll{20};
constexpr std::size_t kCopyBytes = 1 << 16;

// The target's own folder may be closed to the user (/dev).
std::string spoolFolder() {
  std::error_code error;
  const auto folder = std::filesystem::temp_directory_path(error);
  return error ? "/tmp" : folder.string();
}

} // namespace

InPlaceOutput::InPlaceOutput(const std::string& target, bool fifo) : FShown(target) {
  try {
    openTarget(fifo);
    openSpool();
  } catch (...) {
    if (FTarget >= 0)
      close(FTarget);
    throw;
  }
}

InPlaceOutput::~InPlaceOutput() {
  if (FTarget >= 0)
    close(FTarget);
  if (FSpool >= 0)
    close(FSpool);
}

// As a shell's ">" opens it, without creating a file where the target has
// gone meanwhile.
void InPlaceOutput::openTarget(bool fifo) {
  for (;;) {
    FTarget = open(FShown.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (FTarget >= 0)
      break;
    if (!fifo || errno != ENXIO)
      fail(std::strerror(errno));
    if (!tools::pauseUnlessStopped(kReaderPoll))
      throw host::HostError("interrupted");
  }
  // Writes wait for room again; a stop signal still ends that wait.
  const int flags = fcntl(FTarget, F_GETFL);
  if (flags < 0 || fcntl(FTarget, F_SETFL, flags & ~O_NONBLOCK) != 0)
    fail(std::strerror(errno));
}

void InPlaceOutput::openSpool() {
  const std::string folder = spoolFolder();
  FSpool = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (FSpool >= 0)
    return;
  // Where the file system has no nameless files, a name for a moment.
  std::string pattern = folder + "/glowrasp-render-XXXXXX";
  FSpool = mkostemp(pattern.data(), O_CLOEXEC);
  if (FSpool < 0)
    fail("cannot create a temporary file in '" + folder + "': " + std::strerror(errno));
  unlink(pattern.c_str());
}

void InPlaceOutput::commit() {
  const StreamWriter writer(FTarget, FShown);
  std::vector<unsigned char> buffer(kCopyBytes);
  for (off_t at = 0;;) {
    const ssize_t got = pread(FSpool, buffer.data(), buffer.size(), at);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      fail(std::strerror(errno));
    if (got == 0)
      break;
    writer.write(buffer.data(), static_cast<std::size_t>(got));
    at += got;
  }
  if (close(std::exchange(FTarget, -1)) != 0)
    fail(std::strerror(errno));
}

void InPlaceOutput::fail(const std::string& what) const {
  throw host::HostError("cannot write '" + FShown + "': " + what);
}

} // namespace glowrasp::render
