// The temporaries of outputs still being written, kept where a signal handler can reach
// them: a fixed table of paths claimed and released with atomic flags, so registering
// needs no lock and removing needs nothing but unlink.
#pragma once

#include <string>

namespace platform {

// Records `path` as a partial file; returns its slot, or -1 when the path is too long or
// the table is full (the file is then only removed by its owner).
int RegisterPartialFile(const std::string& path);
// Forgets the slot (a no-op for -1); the file itself is the owner's business.
void ReleasePartialFile(int slot);

}  // namespace platform
