// Ctrl+C and SIGTERM end a run the way closing the window does: the first SIGINT or
// SIGTERM only records the request, and the launcher closes the window at its next idle
// moment, finishes every output and exits with 128 + the signal's number. A second
// signal means the user will not wait: the temporaries of unfinished outputs are removed
// and the process ends at once with the same code.
#pragma once

namespace launcher {

// Installs the handlers for SIGINT and SIGTERM.
void InstallStopSignals();
// The signal that asked the run to stop, or 0.
int StopSignal();
// The exit code for a run stopped by `signal`.
inline int ExitCodeForSignal(int signal) { return 128 + signal; }

}  // namespace launcher
