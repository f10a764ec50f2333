// stop_signals.h - SIGINT, SIGTERM and SIGHUP as stop requests.
//
// The first signal raises the stop request: the night ends through the park.
// A later one during the park is counted and the park finishes; anywhere else
// it ends the program at once with status 128 + the signal number, after one
// line on standard error that says whether the mount was parked.
#pragma once

namespace vantrel {

class StopRequest;

void installStopSignals(StopRequest& stop);

}  // namespace vantrel
