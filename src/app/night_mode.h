// night_mode.h - a night or a rehearsal, as the command line asks for it.
//
// Composes the night: the folder lock and the guard of a real night, the
// mount link (the serial line or an INDI device, wrapped for the guard), the
// views that read the status board (the console, the window, the status
// server), and the end-of-night policy: the exit status from the night's
// outcome, a window kept open to show the park, the ended night kept on the
// status page for --web-linger minutes.
#pragma once

#include "app/command_line.h"

namespace vantrel {

// Runs the night (or rehearses it) and returns the program's exit status.
// `argc` and `argv` go to the window toolkit.
int runNight(const Arguments& args, int argc, char** argv);

}  // namespace vantrel
