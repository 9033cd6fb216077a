#include "base/UserConfigFolder.h"

#include <windows.h>

#include <string>

std::filesystem::path UserConfigFolder() {
  // Wide characters: user names outside the ANSI code page must work too.
  std::wstring value(MAX_PATH, L'\0');
  DWORD length =
      GetEnvironmentVariableW(L"APPDATA", value.data(), static_cast<DWORD>(value.size()));
  if (length >= value.size()) {
    value.resize(length);
    length = GetEnvironmentVariableW(L"APPDATA", value.data(), static_cast<DWORD>(value.size()));
  }
  if (length == 0 || length >= value.size())
    return {};
  value.resize(length);
  return value;
}
