// Temporary-then-rename output files.
#include "app/launcher_output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace launcher {

PendingOutputFile::~PendingOutputFile() { Discard(); }

bool PendingOutputFile::Create(const std::string& target, std::string* error) {
    std::error_code ignored;
    if (target.empty() || std::filesystem::is_directory(target, ignored)) {
        *error = "cannot write \"" + target + "\": not a file path";
        return false;
    }
    // The temporary sits in the target's directory so the final rename stays on one file
    // system and is atomic.
    std::string pattern = target + ".partial-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int descriptor = mkstemp(name.data());
    if (descriptor < 0) {
        *error = "cannot write \"" + target + "\": " + std::strerror(errno);
        return false;
    }
    // mkstemp creates the file private; the finished output gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
    close(descriptor);
    target_ = target;
    temporary_ = name.data();
    return true;
}

bool PendingOutputFile::Commit(std::string* error) {
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        *error = "cannot write \"" + target_ + "\": " + std::strerror(errno);
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void PendingOutputFile::Discard() {
    if (temporary_.empty()) return;
    std::remove(temporary_.c_str());
    temporary_.clear();
}

}  // namespace launcher
