// Writing the facet program's output files, and refusing an output that is one of the
// command's inputs or another of its outputs.
#pragma once

#include <cstdio>
#include <functional>

// Writes `path` through `write` (false from it means the content could not be produced)
// so that a failure leaves nothing new behind. False after one line on standard error
// ("facet COMMAND: cannot write 'PATH': why").
bool WriteOutputFile(const char* command, const char* path, const std::function<bool(std::FILE*)>& write);

// True when both paths name one file: the same existing file (after following links), or
// the same place for a file not there yet.
bool IsSameFile(const char* a, const char* b);
