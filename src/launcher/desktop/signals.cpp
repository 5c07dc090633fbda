// The launcher's stop-signal handlers.
#include "launcher/desktop/signals.h"

#include "springdrop/file/output_file.h"

#include <atomic>

#include <signal.h>
#include <unistd.h>

namespace launcher {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

std::atomic<int> g_stopSignal{0};

static_assert(std::atomic<int>::is_always_lock_free, "read and written in a signal handler");

void OnStopSignal(int signal) {
    int none = 0;
    if (g_stopSignal.compare_exchange_strong(none, signal) || signal == SIGPIPE) return;
    platform::RemovePartialOutputs();
    _exit(ExitCodeForSignal(signal));
}

}  // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads, writes and waits carry on; the run notices the request itself.
    action.sa_flags = SA_RESTART;
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : kStopSignals) {
        sigaction(signal, &action, nullptr);
        sigaddset(&stopSignals, signal);
    }
    sigprocmask(SIG_UNBLOCK, &stopSignals, nullptr);
}

int StopSignal() { return g_stopSignal.load(); }

}  // namespace launcher
