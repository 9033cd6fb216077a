// Writes to a descriptor that may wait for its reader (a pipe, a FIFO): a
// reader that stops reading does not keep a stop signal waiting.
#pragma once

#include <cstddef>
#include <string>

namespace glowrasp::render {

class StreamWriter {
public:
  // shownPath names the output in errors.
  StreamWriter(int descriptor, std::string shownPath);

  // All of the bytes, or host::HostError: the failed write, or
  // "interrupted" when a stop signal ended a wait.
  void write(const unsigned char* bytes, std::size_t count) const;

private:
  [[noreturn]] void fail() const;

  int FDescriptor;
  std::string FPath;
  std::size_t FPiece; // bytes per write
};

} // namespace glowrasp::render
