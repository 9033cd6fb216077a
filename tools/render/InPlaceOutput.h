// An output into a FIFO or a device that exists under the target's name:
// opened as a shell's redirection opens it, and never replaced or removed.
// What is written goes into a nameless file first and into the target at
// the commit, so a reader gets the very bytes a file would hold, and
// nothing of a run that fails or stops before it.
#pragma once

#include "render/OutputFile.h"

#include <string>

namespace glowrasp::render {

class InPlaceOutput final : public OutputFile {
public:
  // A FIFO opens only once a reader has it open; a stop signal ends that
  // wait (host::HostError "interrupted").
  InPlaceOutput(const std::string& target, bool fifo);
  ~InPlaceOutput() override;
  InPlaceOutput(const InPlaceOutput&) = delete;
  InPlaceOutput& operator=(const InPlaceOutput&) = delete;

  int descriptor() const override { return FSpool; }
  // The spool lives only as long as the run; there is nothing to make last.
  void sync() const override {}
  void commit() override;

private:
  void openTarget(bool fifo);
  void openSpool();
  [[noreturn]] void fail(const std::string& what) const;

  std::string FShown;
  int FTarget = -1;
  int FSpool = -1;
};

} // namespace glowrasp::render
