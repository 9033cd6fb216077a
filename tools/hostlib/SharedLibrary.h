// A shared library loaded by the platform's loader (dlopen on Linux,
// LoadLibrary on Windows) behind one small interface.
#pragma once

#include <string>

namespace glowrasp::host {

class SharedLibrary {
public:
  // Throws HostError when the loader refuses the file.
  explicit SharedLibrary(const std::string& path);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // The address of an exported symbol, or null.
  void* symbol(const char* name) const;
  // Whether `address` lies inside this library's image.
  bool contains(const void* address) const;

private:
  void* FHandle = nullptr;
};

} // namespace glowrasp::host
