// Standard output as the facet commands write it: every write and the final close are
// checked, so output lost to a full disk, a closed pipe or a failing device is reported
// with the system's reason instead of ending in a quiet success.
#pragma once

#include <cstdio>
#include <functional>

// Writes one output to a stream. False as soon as a write has failed, with errno still
// holding the failed write's reason (so a writer checks the stream after each piece and
// returns at once).
using OutputWriter = std::function<bool(std::FILE*)>;

// Whether the stream is still good; for writers, after each row they write.
inline bool StreamGood(std::FILE* stream) { return std::ferror(stream) == 0; }

// Writes through `write` to standard output and flushes it. False after one line on
// standard error: "facet COMMAND: cannot write standard output: REASON".
bool WriteStandardOutput(const char* command, const OutputWriter& write);

// Flushes standard output; false after the same line as WriteStandardOutput.
bool FlushStandardOutput(const char* command);

// Ends the program's use of standard output: flushes, checks and closes it. Returns
// `exitCode` when that succeeds or when the command has failed already (its own line
// said why); 2 after the line above when only the close failed. `command` may be null
// (the program's own --help and --version).
int CloseStandardOutput(const char* command, int exitCode);
