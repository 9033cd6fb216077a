// The program's one error family: every error carries the text shown to the user.
#pragma once

#include <stdexcept>
#include <string>

class EGlowraspError : public std::runtime_error {
public:
  explicit EGlowraspError(const std::string& message) : std::runtime_error(message) {}
};
