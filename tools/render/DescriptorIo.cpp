#include "render/DescriptorIo.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace glowrasp::render {
namespace {

DescriptorIo& self(void* user) {
  return *static_cast<DescriptorIo*>(user);
}

} // namespace

DescriptorIo::DescriptorIo(int descriptor)
    : FDescriptor(descriptor), FStart(lseek(descriptor, 0, SEEK_CUR)) {
  if (FStart < 0) {
    noteFailure();
    FStart = 0;
  }
}

SF_VIRTUAL_IO& DescriptorIo::callbacks() {
  static SF_VIRTUAL_IO io{
      [](void* user) { return self(user).length(); },
      [](sf_count_t offset, int whence, void* user) { return self(user).seek(offset, whence); },
      [](void* bytes, sf_count_t count, void* user) { return self(user).read(bytes, count); },
      [](const void* bytes, sf_count_t count, void* user) {
        return self(user).write(bytes, count);
      },
      [](void* user) { return self(user).tell(); },
  };
  return io;
}

sf_count_t DescriptorIo::length() {
  struct stat status {};
  if (fstat(FDescriptor, &status) != 0) {
    noteFailure();
    return -1;
  }
  return status.st_size > FStart ? status.st_size - FStart : 0;
}

sf_count_t DescriptorIo::seek(sf_count_t offset, int whence) {
  const sf_count_t position =
      lseek(FDescriptor, whence == SEEK_SET ? FStart + offset : offset, whence);
  if (position < 0) {
    noteFailure();
    return -1;
  }
  return position - FStart;
}

sf_count_t DescriptorIo::read(void* bytes, sf_count_t count) {
  sf_count_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(FDescriptor, static_cast<char*>(bytes) + done,
                               static_cast<std::size_t>(count - done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      noteFailure();
    if (got <= 0)
      break;
    done += got;
  }
  return done;
}

sf_count_t DescriptorIo::write(const void* bytes, sf_count_t count) {
  // After one failure nothing more is written: the file is lost anyway,
  // and a later write must not paper over the gap.
  if (FError != 0)
    return 0;
  sf_count_t done = 0;
  while (done < count) {
    const ssize_t wrote = ::write(FDescriptor, static_cast<const char*>(bytes) + done,
                                  static_cast<std::size_t>(count - done));
    if (wrote < 0 && errno == EINTR)
      continue;
    if (wrote <= 0) {
      // A write of nothing at all is a full disk that did not say so.
      if (wrote == 0)
        errno = ENOSPC;
      noteFailure();
      break;
    }
    done += wrote;
  }
  return done;
}

sf_count_t DescriptorIo::tell() {
  const sf_count_t position = lseek(FDescriptor, 0, SEEK_CUR);
  if (position < 0) {
    noteFailure();
    return -1;
  }
  return position - FStart;
}

void DescriptorIo::noteFailure() {
  if (FError == 0)
    FError = errno;
}

} // namespace glowrasp::render
