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
    if (write(file_.Stream())) return true;
    const int reason = errno;
    // Worded as the shared writer words its own failures.
    return Fail("cannot write \"" + file_.Path() + "\": " + std::strerror(reason));
}

bool CommandOutput::Commit() {
    std::string error;
    return file_.Commit(&error) || Fail(error);
}
