// dlopen and its companions over LoadLibrary, so that the tools' host library
// builds for Windows unchanged.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>

#include <windows.h>

inline constexpr int RTLD_LAZY = 1;
inline constexpr int RTLD_NOW = 2;
inline constexpr int RTLD_LOCAL = 0;

inline void* dlopen(const char* path, int) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '/', '\\');
  return reinterpret_cast<void*>(LoadLibraryA(native.c_str()));
}

inline void* dlsym(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

inline int dlclose(void* library) {
  return FreeLibrary(static_cast<HMODULE>(library)) ? 0 : 1;
}

inline const char* dlerror() {
  static char text[48];
  std::snprintf(text, sizeof text, "Windows error %lu", GetLastError());
  return text;
}
