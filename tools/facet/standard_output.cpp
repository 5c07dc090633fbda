// Checked writes to standard output; see standard_output.h.
#include "standard_output.h"

#include "command_support.h"

#include <cerrno>
#include <cstring>

namespace {

// `reason` is an errno value, or 0 when a write failed earlier and nothing kept why.
void ReportStandardOutputFailure(const char* command, int reason) {
    const char* why = reason != 0 ? std::strerror(reason) : "a write failed";
    if (command != nullptr)
        std::fprintf(stderr, "facet %s: cannot write standard output: %s\n", command, why);
    else
        std::fprintf(stderr, "facet: cannot write standard output: %s\n", why);
}

}  // namespace

bool WriteStandardOutput(const char* command, const OutputWriter& write) {
    if (!write(stdout)) {
        ReportStandardOutputFailure(command, errno);
        return false;
    }
    return FlushStandardOutput(command);
}

bool FlushStandardOutput(const char* command) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int reason = errno;
    if (flushed && StreamGood(stdout)) return true;
    ReportStandardOutputFailure(command, flushed ? 0 : reason);
    return false;
}

int CloseStandardOutput(const char* command, int exitCode) {
    if (exitCode != 0) {
        std::fclose(stdout);
        return exitCode;
    }
    if (!FlushStandardOutput(command)) {
        std::fclose(stdout);
        return kExitRefused;
    }
    if (std::fclose(stdout) != 0) {
        ReportStandardOutputFailure(command, errno);
        return kExitRefused;
    }
    return exitCode;
}
