#include "render/StreamWriter.h"

#include "common/StopSignals.h"
#include "hostlib/PluginHost.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace glowrasp::render {
namespace {

// A pipe or socket that reports room takes this much without waiting, so a
// reader that stops reading leaves the wait to poll(), which a stop signal
// ends; a write could wait through the signal.
std::size_t pieceFor(int descriptor) {
  struct stat status {};
  const bool waits =
      fstat(descriptor, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
  return waits ? PIPE_BUF : SSIZE_MAX;
}

} // namespace

StreamWriter::StreamWriter(int descriptor, std::string shownPath)
    : FDescriptor(descriptor), FPath(std::move(shownPath)), FPiece(pieceFor(descriptor)) {}

void StreamWriter::write(const unsigned char* bytes, std::size_t count) const {
  std::size_t done = 0;
  while (done < count) {
    if (!tools::waitUntilReady(FDescriptor, POLLOUT))
      throw host::HostError("interrupted");
    const ssize_t wrote = ::write(FDescriptor, bytes + done, std::min(count - done, FPiece));
    if (wrote < 0 && errno == EINTR)
      continue;
    if (wrote <= 0)
      fail();
    done += static_cast<std::size_t>(wrote);
  }
}

void StreamWriter::fail() const {
  throw host::HostError("cannot write '" + FPath + "': " + std::strerror(errno));
}

} // namespace glowrasp::render
