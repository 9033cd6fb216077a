#include "hostlib/SharedLibrary.h"

#include "hostlib/HostError.h"

#include <dlfcn.h>

namespace glowrasp::host {

SharedLibrary::SharedLibrary(const std::string& path) {
  // A path without a slash would make dlopen search the library path instead.
  const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
  FHandle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!FHandle) {
    const char* reason = dlerror();
    throw HostError("cannot load plug-in: " + std::string(reason ? reason : path));
  }
}

SharedLibrary::~SharedLibrary() {
  dlclose(FHandle);
}

void* SharedLibrary::symbol(const char* name) const {
  return dlsym(FHandle, name);
}

bool SharedLibrary::contains(const void* address) const {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || !info.dli_fname)
    return false;
  // Opening a loaded object again hands out its existing handle.
  void* owner = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  if (!owner)
    return false;
  dlclose(owner);
  return owner == FHandle;
}

} // namespace glowrasp::host
