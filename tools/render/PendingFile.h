// An output that replaces its target only once it is complete: a file with
// no name in the target's folder, given the target's name at the end. A
// render that dies on the way, even by SIGKILL, leaves nothing behind.
#pragma once

#include "render/OutputFile.h"

#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace glowrasp::render {

// A target that is a symbolic link is written through to the file it
// names; the link stays. commit() puts the file in place of the target and
// makes that last on disk; without a commit the file goes, and the target
// never changes. A target that exists keeps its file mode. Where the file
// system has no nameless files, a hidden temporary name stands in. A target
// that the user could not write with a shell's redirection, or could not
// replace, is refused before anything is written.
class PendingFile final : public OutputFile {
public:
  explicit PendingFile(const std::string& target);
  ~PendingFile() override;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  int descriptor() const override { return FDescriptor; }
  // Waits until what is written is on disk.
  void sync() const override;
  void commit() override;

private:
  void checkReplaceable(const struct stat* existing) const;
  void openNameless(mode_t mode);
  void openNamed();
  bool linkAs(const std::string& path) const;
  void nameBesideTarget();
  [[noreturn]] void fail() const;

  std::string FShown;  // as the user gave it
  std::string FTarget; // the file itself, links followed
  std::string FFolder;
  std::string FTemporary; // a name of its own, while it has one
  int FDescriptor = -1;
  bool FCommitted = false;
};

} // namespace glowrasp::render
