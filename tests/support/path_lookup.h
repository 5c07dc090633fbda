// Whether a program can be run by name: tests that drive outside tools (Xvfb, xdotool,
// xwd, ffmpeg) skip or fail clearly when one is missing instead of timing out.
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>

#include <unistd.h>

namespace test_support {

inline bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream directories(path ? path : "");
    std::string directory;
    while (std::getline(directories, directory, ':'))
        if (access((directory + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

}  // namespace test_support
