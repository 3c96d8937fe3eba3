#pragma once

#include "batch/RunState.h"

// How the command-line tool is asked to stop: Ctrl-C, SIGTERM and SIGHUP on Linux; Ctrl-C,
// Ctrl-Break and closing the console window on Windows. The first asks the run to stop after the
// current file, as the Stop button does; the second ends the process at once, taking no
// half-written file with it. One implementation per platform.

namespace tolvren {

/// From now on, a stop signal asks `control` to stop.
void InstallStopSignals(RunControl& control);

/// The number of the first stop signal (SIGINT is 2), or 0 when none came. The exit status after
/// a stop is 128 plus it, as a shell reports a process ended by that signal.
int FirstStopSignal();

/// The run has ended: a handler that waits for it (closing a console window) may let go.
void RunHasEnded();

} // namespace tolvren
