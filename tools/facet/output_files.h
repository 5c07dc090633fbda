// Writing the facet program's output files through the shared output writer, with the
// command's name on its one line of error.
#pragma once

#include <cstdio>
#include <functional>

// Writes `path` through `write` (false from it means the content could not be produced):
// the output is complete or absent. False after one line on standard error
// ("facet COMMAND: why", naming the path).
bool WriteOutputFile(const char* command, const char* path, const std::function<bool(std::FILE*)>& write);
