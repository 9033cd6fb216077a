// Every failure on the host side, worded as one line for the user.
#pragma once

#include <stdexcept>

namespace glowrasp::host {

class HostError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace glowrasp::host
