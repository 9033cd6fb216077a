#include "hostlib/SharedLibrary.h"

#include "hostlib/HostError.h"

#include <algorithm>

#include <windows.h>

namespace glowrasp::host {
namespace {

HMODULE asModule(void* handle) {
  return static_cast<HMODULE>(handle);
}

} // namespace

SharedLibrary::SharedLibrary(const std::string& path) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '/', '\\');
  FHandle = LoadLibraryA(native.c_str());
  if (!FHandle)
    throw HostError("cannot load plug-in: " + path + " (Windows error " +
                    std::to_string(GetLastError()) + ")");
}

SharedLibrary::~SharedLibrary() {
  FreeLibrary(asModule(FHandle));
}

void* SharedLibrary::symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(asModule(FHandle), name));
}

bool SharedLibrary::contains(const void* address) const {
  HMODULE owner = nullptr;
  return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &owner) &&
         owner == asModule(FHandle);
}

} // namespace glowrasp::host
