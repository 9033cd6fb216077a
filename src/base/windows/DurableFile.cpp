#include "base/DurableFile.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace {

// Process, thread and a count: no other writer, in this process or another,
// makes the same name.
std::wstring TemporaryName(const std::filesystem::path& file) {
  static std::atomic<unsigned> count{0};
  return file.wstring() + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(GetCurrentThreadId()) + L"." + std::to_wstring(count.fetch_add(1)) +
         L".tmp";
}

bool WriteAll(HANDLE handle, std::string_view contents) {
  while (!contents.empty()) {
    DWORD written = 0;
    if (!WriteFile(handle, contents.data(), static_cast<DWORD>(contents.size()), &written,
                   nullptr) ||
        written == 0)
      return false;
    contents.remove_prefix(written);
  }
  return true;
}

} // namespace

bool ReplaceFileDurably(const std::filesystem::path& file, std::string_view contents) {
  const std::wstring temporary = TemporaryName(file);
  const HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  bool ok = WriteAll(handle, contents) && FlushFileBuffers(handle);
  ok = CloseHandle(handle) && ok;
  if (ok && MoveFileExW(temporary.c_str(), file.wstring().c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileW(temporary.c_str());
  return false;
}
