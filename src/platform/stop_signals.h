// stop_signals.h - SIGINT, SIGTERM and SIGHUP as stop requests.
//
// The first signal raises the stop request: the night ends through the park.
// A second one ends the program at once with status 128 + the signal number.
#pragma once

namespace vantrel {

class StopRequest;

void installStopSignals(StopRequest& stop);

}  // namespace vantrel
