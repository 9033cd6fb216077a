#include "HostTestSupport.h"

#include <thread>

namespace glowrasp::hosttest {

void RunOnNewThread(const std::function<void()>& body) {
  std::thread(body).join();
}

} // namespace glowrasp::hosttest
