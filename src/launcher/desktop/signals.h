// The signals that end a run: SIGINT (Ctrl+C), SIGTERM, SIGHUP (a closed terminal),
// SIGQUIT and SIGPIPE (a reader that went away, as `--trace /dev/stdout | head -1` does)
// end it the way closing the window does: the first one only records the request, and
// the launcher closes the window at its next idle moment, finishes every output it still
// can and exits with 128 + the signal's number. A second signal means the user will not
// wait: the temporaries of unfinished outputs are removed and the process ends at once
// with the same code. A second SIGPIPE is the exception, as the run's own writes into a
// closed pipe raise it again while the other outputs are being finished.
#pragma once

namespace launcher {

// Installs the handlers (and unblocks the signals, whatever mask the process inherited).
void InstallStopSignals();
// The signal that asked the run to stop, or 0.
int StopSignal();
// The exit code for a run stopped by `signal`.
inline int ExitCodeForSignal(int signal) { return 128 + signal; }

}  // namespace launcher
