// Ends the program on the signals that stop a command from outside (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE) as it would end anyway, by the same signal, but first removes
// the temporaries of outputs still being written, so none is left beside its path.
#pragma once

// Installs the handlers; a signal the program was started with ignored stays ignored.
void RemovePartialOutputsOnSignals();
