// RemovePartialOutputsOnSignals: see signal_cleanup.h.
#include "signal_cleanup.h"

#include "springdrop/file/output_file.h"

#include <csignal>

namespace {

void RemoveAndEnd(int signal) {
    platform::RemovePartialOutputs();
    // The handler was reset to the default on entry (SA_RESETHAND); the signal, blocked
    // while the handler runs, ends the process as soon as the handler returns.
    std::raise(signal);
}

}  // namespace

void RemovePartialOutputsOnSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = RemoveAndEnd;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}
