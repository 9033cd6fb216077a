// The signals that ask a tool to stop. Instead of dying mid-write, the tool
// notices the request between two steps, or while it waits for a pipe, and
// cleans up on its normal path; then it dies of the signal as the caller
// expects.
#pragma once

#include <chrono>
#include <string>

namespace glowrasp::tools {

// Catches SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE where they have their
// default action; one ignored by whoever started the tool (nohup) stays
// ignored. A closed pipe then makes the failing write report EPIPE instead
// of ending the process.
void catchStopSignals();

// The first stop signal that arrived, or 0.
int stopSignal();

bool stopRequested();

// Waits until the descriptor is ready for the poll() events given; false
// when a stop signal arrived first, however long the descriptor stalls.
bool waitUntilReady(int descriptor, short events);

// Waits for the time given; false when a stop signal arrived first, which
// ends the wait at once.
bool pauseUnlessStopped(std::chrono::milliseconds time);

// "SIGHUP"; "signal N" for any other number.
std::string signalName(int signal);

// Ends the process by the signal's default action, so that a calling shell
// sees what ended it.
[[noreturn]] void dieOf(int signal);

} // namespace glowrasp::tools
