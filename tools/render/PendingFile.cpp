#include "render/PendingFile.h"

#include "hostlib/PluginHost.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace glowrasp::render {
namespace {

// As many links in a row as the kernel itself follows.
constexpr int kMaxLinks = 40;
constexpr int kNameTries = 100;

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path with every link along the last component followed, so that
// the file a link names is replaced instead of the link. A dangling link
// gives the file it would name.
std::string followLinks(std::string path) {
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
      return path;
    std::array<char, 4096> link{};
    const ssize_t length = readlink(path.c_str(), link.data(), link.size() - 1);
    if (length < 0)
      return path;
    const std::string destination(link.data(), static_cast<std::size_t>(length));
    path = destination.starts_with('/') ? destination : folderOf(path) + "/" + destination;
  }
  errno = ELOOP;
  throw host::HostError("cannot write '" + path + "': " + std::strerror(errno));
}

// What a file created there gets: a replaced file's mode, else what new
// files get under the umask.
mode_t modeFor(const struct stat& status, bool exists) {
  if (exists)
    return status.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Best effort: once the rename is done, the target is the new file whether
// or not the folder reaches the disk now.
void syncFolder(const std::string& folder) {
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0)
    return;
  fsync(descriptor);
  close(descriptor);
}

} // namespace

PendingFile::PendingFile(const std::string& target)
    : FShown(target), FTarget(followLinks(target)), FFolder(folderOf(FTarget)) {
  struct stat status {};
  const bool exists = stat(FTarget.c_str(), &status) == 0;
  if (exists && S_ISDIR(status.st_mode))
    throw host::HostError("cannot write '" + FShown + "': is a folder");
  checkReplaceable(exists ? &status : nullptr);
  const mode_t mode = modeFor(status, exists);
  openNameless(mode);
  if (FDescriptor < 0)
    openNamed();
  // Both ways create the file private; it gets its mode once it is ours.
  fchmod(FDescriptor, mode);
}

PendingFile::~PendingFile() {
  if (FDescriptor >= 0)
    close(FDescriptor);
  if (!FCommitted && !FTemporary.empty())
    unlink(FTemporary.c_str());
}

// The target is replaced, not written, so the permissions that count are
// the folder's; but a file that a shell's ">" would refuse to write is not
// replaced either. Judged for the effective user as the kernel judges it,
// so root may overwrite a write-protected file, as root's shell does.
void PendingFile::checkReplaceable(const struct stat* existing) const {
  if (existing && faccessat(AT_FDCWD, FTarget.c_str(), W_OK, AT_EACCESS) != 0)
    fail();
  if (faccessat(AT_FDCWD, FFolder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    throw host::HostError("cannot write '" + FShown + "': cannot create files in '" + FFolder +
                          "': " + std::strerror(errno));
  // In a sticky folder (/tmp) only the file's owner, the folder's owner and
  // root may replace a file; the rename would fail only after the whole run.
  struct stat folder {};
  const uid_t user = geteuid();
  if (existing && stat(FFolder.c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 &&
      user != 0 && user != existing->st_uid && user != folder.st_uid)
    throw host::HostError("cannot write '" + FShown + "': only its owner may replace it in '" +
                          FFolder + "'");
}

void PendingFile::openNameless(mode_t mode) {
  FDescriptor = open(FFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode & 0600);
  if (FDescriptor >= 0)
    return;
  // File systems without nameless files say so in one of these ways.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
    fail();
}

void PendingFile::openNamed() {
  std::string pattern = FFolder + "/." + nameOf(FTarget) + ".XXXXXX";
  FDescriptor = mkostemp(pattern.data(), O_CLOEXEC);
  if (FDescriptor < 0)
    fail();
  FTemporary = pattern;
}

void PendingFile::sync() const {
  if (fsync(FDescriptor) != 0)
    fail();
}

void PendingFile::commit() {
  sync();
  const bool linked = FTemporary.empty() && linkAs(FTarget);
  if (!linked && FTemporary.empty())
    nameBesideTarget();
  if (close(std::exchange(FDescriptor, -1)) != 0)
    fail();
  if (!linked && rename(FTemporary.c_str(), FTarget.c_str()) != 0)
    fail();
  FCommitted = true;
  syncFolder(FFolder);
}

// Gives the nameless file a name; false where the name is taken.
bool PendingFile::linkAs(const std::string& path) const {
  const std::string self = "/proc/self/fd/" + std::to_string(FDescriptor);
  if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
    return true;
  if (errno != EEXIST)
    fail();
  return false;
}

// A link cannot replace a file: a nameless file that is to replace one gets
// a name of its own beside it, which the rename then moves over it.
void PendingFile::nameBesideTarget() {
  std::random_device entropy;
  for (int tries = 0; tries < kNameTries; ++tries) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", entropy());
    const std::string candidate = FFolder + "/." + nameOf(FTarget) + "." + suffix;
    if (linkAs(candidate)) {
      FTemporary = candidate;
      return;
    }
  }
  fail();
}

void PendingFile::fail() const {
  throw host::HostError("cannot write '" + FShown + "': " + std::strerror(errno));
}

} // namespace glowrasp::render
