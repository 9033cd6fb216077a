// The library's load and unload hooks on Windows. The loader holds its lock
// while it calls DllMain, so nothing here touches the window system, loads a
// library or waits for another thread: the skin pictures need memory and
// the embedded JPEG data only. The decimal separator is read on first use.
#include "instance/EditorResources.h"

#include <exception>

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  switch (reason) {
  case DLL_PROCESS_ATTACH:
    try {
      LoadEditorResources();
    } catch (const std::exception&) {
      return FALSE;
    }
    return TRUE;
  case DLL_PROCESS_DETACH:
    // At process exit (reserved not null) the memory goes with the process.
    if (!reserved)
      ReleaseEditorResources();
    return TRUE;
  default:
    return TRUE;
  }
}
