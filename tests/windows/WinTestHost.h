// What the Windows host tests share: the built DLL, a recorder for the
// plug-in's message boxes, threads started the way Windows starts them, and
// the stack check for the 32-bit calling convention.
#pragma once

#include "FloatingPointState.h"
#include "hostlib/Parameters.h"
#include "hostlib/PluginHost.h"
#include "vst/EditorSnapshot.h"
#include "vst/MessageRecorder.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace glowrasp::wintest {

inline std::shared_ptr<const host::PluginLibrary> Library() {
  static const auto library = std::make_shared<const host::PluginLibrary>(GLOWRASP_PLUGIN_PATH);
  return library;
}

inline std::string DataFile(const std::string& name) {
  return std::string(GLOWRASP_SOURCE_DIR) + "/tests/data/" + name;
}

// Message boxes of the whole library go to Texts while one of these lives:
// a box under a display would wait for a click that never comes.
class TMessageRecording {
public:
  explicit TMessageRecording(const host::Plugin& plugin) : FPlugin(plugin) {
    Texts().clear();
    Install(&Record);
  }
  ~TMessageRecording() { Install(nullptr); }
  TMessageRecording(const TMessageRecording&) = delete;
  TMessageRecording& operator=(const TMessageRecording&) = delete;

  static std::vector<std::string>& Texts() {
    static std::vector<std::string> texts;
    return texts;
  }

private:
  static void VSTCALLBACK Record(const char* text) { Texts().push_back(text); }
  void Install(TMessageRecorder recorder) {
    EXPECT_EQ(FPlugin.dispatch(effVendorSpecific, kMessageRecorderCode, 0,
                               reinterpret_cast<void*>(recorder)),
              1);
  }

  const host::Plugin& FPlugin;
};

// Runs `body` on a thread of its own, started by CreateThread as hosts start
// theirs, with the floating-point state Windows gives new threads.
inline void RunOnNewThread(const std::function<void()>& body) {
  struct TStart {
    const std::function<void()>* Body;
    static DWORD WINAPI Run(void* start) {
      (*static_cast<TStart*>(start)->Body)();
      return 0;
    }
  } start{&body};
  const HANDLE thread = CreateThread(nullptr, 0, &TStart::Run, &start, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

// The module that holds `address`, or null.
inline HMODULE ModuleOf(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCSTR>(address), &module);
  return module;
}

#if defined(__i386__)
// Calls `function` with `count` 32-bit arguments pushed right to left, stores
// its result (the bits of the x87 result when `returnsFloat`) and returns how
// many bytes of the arguments the callee removed: 0 for cdecl, where the
// caller cleans up.
extern "C" int GlowraspCalleePoppedBytes(const void* function, const std::uint32_t* arguments,
                                         int count, int returnsFloat, std::uint32_t* result);
#endif

} // namespace glowrasp::wintest
