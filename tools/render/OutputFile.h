// A named output, which reaches its target only once it is whole: written
// into descriptor(), then committed. Without a commit the target stays as
// it was.
#pragma once

#include <memory>
#include <string>

namespace glowrasp::render {

class OutputFile {
public:
  virtual ~OutputFile() = default;

  virtual int descriptor() const = 0;
  // Waits until what is written is safe, which commit() also does; a caller
  // that syncs first can still change its mind after the long wait.
  virtual void sync() const = 0;
  virtual void commit() = 0;
};

// A FIFO or a device under the name is written into in place (InPlaceOutput);
// a regular file there, or none, is replaced (PendingFile). Throws
// host::HostError naming the path when the output cannot be written, before
// anything is.
std::unique_ptr<OutputFile> openOutputFile(const std::string& path);

} // namespace glowrasp::render
