#include "vst/MessageRecorder.h"

#include "toolkit/MessageBox.h"

#include <atomic>
#include <string>

namespace {

std::atomic<TMessageRecorder> gRecorder{nullptr};

void ForwardToRecorder(std::string_view text) {
  if (const TMessageRecorder recorder = gRecorder.load(std::memory_order_relaxed))
    recorder(std::string(text).c_str());
}

} // namespace

VstIntPtr InstallMessageRecorder(TMessageRecorder recorder) {
  gRecorder.store(recorder, std::memory_order_relaxed);
  SetMessageBoxHook(recorder ? ForwardToRecorder : nullptr);
  return 1;
}
