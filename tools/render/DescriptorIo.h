// libsndfile's file access routed through our own calls on a descriptor
// that holds a file. With a descriptor of its own, the library does not
// report writes that fail while it closes the file (the last FLAC frame,
// the final header); here every write is seen, and the first failure kept.
#pragma once

#include <sndfile.h>

namespace glowrasp::render {

class DescriptorIo {
public:
  // The file starts where the descriptor stands now, so a file that a
  // shell opened with something already in it keeps what is there.
  explicit DescriptorIo(int descriptor);
  DescriptorIo(const DescriptorIo&) = delete;
  DescriptorIo& operator=(const DescriptorIo&) = delete;

  // For sf_open_virtual, with this object as its user data.
  static SF_VIRTUAL_IO& callbacks();
  int descriptor() const { return FDescriptor; }
  // The errno of the first read, write or seek that failed; 0 while none has.
  int error() const { return FError; }
  // Bytes in the file from where it starts; -1 where that is unknown.
  sf_count_t length();

private:
  sf_count_t seek(sf_count_t offset, int whence);
  sf_count_t read(void* bytes, sf_count_t count);
  sf_count_t write(const void* bytes, sf_count_t count);
  sf_count_t tell();
  void noteFailure();

  int FDescriptor;
  sf_count_t FStart;
  int FError = 0;
};

} // namespace glowrasp::render
