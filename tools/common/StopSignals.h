// The signals that ask a tool to stop. Instead of dying mid-write, the tool
// notices the request between two steps and cleans up on its normal path.
#pragma once

#include <string>

namespace glowrasp::tools {

// Catches SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE. A closed pipe then
// also makes the failing write report EPIPE instead of ending the process.
void catchStopSignals();

// The first stop signal that arrived, or 0.
int stopSignal();

bool stopRequested();

// "SIGHUP"; "signal N" for any other number.
std::string signalName(int signal);

// The exit status a shell reports for a process ended by the signal.
inline int exitStatusForSignal(int signal) {
  return 128 + signal;
}

} // namespace glowrasp::tools
