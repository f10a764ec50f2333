// stop_signals.h - SIGINT, SIGTERM and SIGHUP as stop requests.
//
// The first signal raises the stop request: the night ends through the park.
// A later one during the park is counted and the park finishes; anywhere else
// it ends the program at once with status 128 + the signal number, after one
// line on standard error that says whether the mount was parked. Closing
// the window asks the same way (requestStop).
#pragma once

#include "platform/stop_request.h"

namespace vantrel {

void installStopSignals(StopRequest& stop);

// Records one stop request, from a signal or the window. When it must leave
// at once (Then::leaveNow) it does so here and never returns: one line on
// standard error that says whether the mount was parked, then
// _exit(exitStatus). Otherwise it returns what the caller must do. Only
// async-signal-safe calls: a signal handler calls it.
StopRequest::Then requestStop(StopRequest& stop, int exitStatus);

// Whether a status line stands unfinished on the terminal (the console says
// so as it draws and erases it): the line of a leaving request then starts on
// a line of its own, when standard error is a terminal too.
void setOpenTerminalLine(bool open);

}  // namespace vantrel
