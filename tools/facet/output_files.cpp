// WriteOutputFile: see output_files.h.
#include "output_files.h"

#include "springdrop/file/output_file.h"

#include <string>

bool WriteOutputFile(const char* command, const char* path, const std::function<bool(std::FILE*)>& write) {
    platform::OutputFile output;
    std::string error;
    if (!output.Open(path, &error)) {
        std::fprintf(stderr, "facet %s: %s\n", command, error.c_str());
        return false;
    }
    if (!write(output.Stream())) {
        output.Discard();
        std::fprintf(stderr, "facet %s: cannot write '%s': the stream failed\n", command, path);
        return false;
    }
    if (!output.Commit(&error)) {
        std::fprintf(stderr, "facet %s: %s\n", command, error.c_str());
        return false;
    }
    return true;
}
