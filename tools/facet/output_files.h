// The files a facet command writes. Each is opened before the command reads or computes
// anything, so a path that cannot be written (a missing folder, a folder, no permission)
// is refused at once rather than after the work; it is written through the shared
// output writer, so it is complete or absent. Every error is one line on standard error
// ("facet COMMAND: why") that names the path and the system's reason.
//
// A device, FIFO or socket (and /dev/stdout and the like) is written in place as the
// bytes come; such a path has no extension to agree with the content, so it is taken
// whatever its name.
#pragma once

#include "standard_output.h"

#include "springdrop/file/output_file.h"

class CommandOutput {
public:
    explicit CommandOutput(const char* command) : command_(command) {}

    // Prepares the output (its temporary beside the path, or the open device). False
    // after one line. A FIFO blocks here until a reader opens it, as a redirection does.
    bool Open(const char* path);
    // Whether the output is written in place (see above) rather than replaced whole.
    bool InPlace() const { return file_.InPlace(); }
    // Writes the content through `write`; false after one line naming the reason. The
    // file exists only after Commit.
    bool Write(const OutputWriter& write);
    // Completes the file; false after one line. Left uncommitted, nothing is kept.
    bool Commit();

private:
    bool Fail(const std::string& line);

    const char* command_;
    platform::OutputFile file_;
};
