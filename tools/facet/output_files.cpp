// CommandOutput: see output_files.h.
#include "output_files.h"

#include "text_escapes.h"

#include <cerrno>
#include <cstring>
#include <string>

bool CommandOutput::Fail(const std::string& line) {
    file_.Discard();
    // The shared writer's lines quote the path as given: escape it for the terminal.
    std::fprintf(stderr, "facet %s: %s\n", command_, PrintableText(line).c_str());
    return false;
}

bool CommandOutput::Open(const char* path) {
    std::string error;
    return file_.Open(path, &error) || Fail(error);
}

bool CommandOutput::Write(const OutputWriter& write) {
    // Flushed here, not only at Commit, so that a device written in place fails before any
    // other output of the command is kept.
    if (write(file_.Stream()) && std::fflush(file_.Stream()) == 0) return true;
    const int reason = file_.WriteFailure() != 0 ? file_.WriteFailure() : errno;
    // Worded as the shared writer words its own failures.
    return Fail("cannot write \"" + file_.Path() + "\": " + std::strerror(reason));
}

bool CommandOutput::Commit() {
    std::string error;
    return file_.Commit(&error) || Fail(error);
}
