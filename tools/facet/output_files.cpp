// WriteOutputFile writes a temporary file beside the target and renames it into place;
// IsSameFile compares device and inode.
#include "output_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include <sys/stat.h>

bool WriteOutputFile(const char* command, const char* path, const std::function<bool(std::FILE*)>& write) {
    const std::string temporary = std::string(path) + ".partial";
    std::FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr) {
        std::fprintf(stderr, "facet %s: cannot write '%s': %s\n", command, path, std::strerror(errno));
        return false;
    }
    const bool produced = write(file);
    const bool written = std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!produced || !written || !closed || std::rename(temporary.c_str(), path) != 0) {
        std::fprintf(stderr, "facet %s: cannot write '%s': %s\n", command, path,
                     produced ? std::strerror(errno) : "the content could not be produced");
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool IsSameFile(const char* a, const char* b) {
    struct stat first {}, second {};
    if (stat(a, &first) == 0 && stat(b, &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    // A path not there yet: the same file when both spell the same place.
    std::error_code failedA, failedB;
    const auto placeA = std::filesystem::weakly_canonical(std::filesystem::absolute(a, failedA), failedA);
    const auto placeB = std::filesystem::weakly_canonical(std::filesystem::absolute(b, failedB), failedB);
    return !failedA && !failedB && placeA == placeB;
}
