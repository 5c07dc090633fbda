// An output file that is either written completely or not at all: the launcher writes
// it under a temporary name beside the target, created before the first frame (so an
// unwritable path is found at once), and renames it over the target only when it is
// complete. Destroying an uncommitted file removes the temporary.
#pragma once

#include <string>

namespace launcher {

class PendingOutputFile {
public:
    PendingOutputFile() = default;
    ~PendingOutputFile();
    PendingOutputFile(const PendingOutputFile&) = delete;
    PendingOutputFile& operator=(const PendingOutputFile&) = delete;

    // Creates the empty temporary beside `target`. False, with one line in `error`, when
    // the target is a directory or its directory cannot be written.
    bool Create(const std::string& target, std::string* error);
    const std::string& TemporaryPath() const { return temporary_; }
    const std::string& TargetPath() const { return target_; }
    // Renames the temporary over the target. False, with one line in `error`, on failure
    // (the temporary is then removed).
    bool Commit(std::string* error);
    // Removes the temporary, leaving the target untouched.
    void Discard();

private:
    std::string target_;
    std::string temporary_;
};

}  // namespace launcher
