// In every test program that hosts CLAP plug-ins, host misbehaviour a
// plug-in reports and the test does not take fails the test: the test host
// must keep the format's rules, or a test must say it breaks them.
#include "ClapHost.h"

#include <gtest/gtest.h>

namespace glowrasp::clap_test {
namespace {

const bool kInstalled = [] {
  SetMisbehaviourSink([](const std::string& report) {
    ADD_FAILURE() << "the plug-in reported host misbehaviour: " << report;
  });
  return true;
}();

} // namespace
} // namespace glowrasp::clap_test
