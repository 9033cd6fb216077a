// The parameters a control holds from press to release: the host hears one
// begin when the user takes hold of them and one end when they are let go,
// so a host recording in touch mode records exactly that span.
#pragma once

#include "params/VSTParameter.h"

#include <array>

class TEditGesture {
public:
  TEditGesture() = default;
  // A control that goes while held lets go of its parameters.
  ~TEditGesture() { End(); }
  TEditGesture(const TEditGesture&) = delete;
  TEditGesture& operator=(const TEditGesture&) = delete;

  bool Active() const { return FParams[0] != nullptr; }
  // Takes hold of Param and, when given, Sync; nothing while already holding.
  void Begin(TVSTParameter* Param, TVSTParameter* Sync);
  void End();
  // The parameters went away: there is nobody left to tell.
  void Forget() { FParams = {}; }

private:
  std::array<TVSTParameter*, 2> FParams{};
};

// A change made at once (a reset to the default) as a gesture of its own.
void RequestValueGesture(TVSTParameter& Param, std::int32_t Value);
