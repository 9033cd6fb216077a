// The error every tool raises for a command line it cannot run.
#pragma once

#include <stdexcept>

namespace glowrasp::tools {

// The message names the culprit; the tool adds how to get help.
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace glowrasp::tools
