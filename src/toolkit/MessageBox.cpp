#include "toolkit/MessageBox.h"

#include "toolkit/PlatformMessageBox.h"

#include <atomic>

namespace {
std::atomic<TMessageBoxHook> gHook{nullptr};
}

void SetMessageBoxHook(TMessageBoxHook hook) {
  gHook.store(hook, std::memory_order_relaxed);
}

void ShowMessageBox(std::string_view text) {
  if (const TMessageBoxHook hook = gHook.load(std::memory_order_relaxed))
    hook(text);
  else
    PlatformShowMessageBox(text);
}
