// Real meshes from a Debian package: libcgal-demo ships scanned and modelled meshes as OFF
// files inside a tarball. They are extracted once per process into a temporary directory,
// removed again at exit. Tests skip and benchmarks leave the meshes out when the package
// is absent (scripts/setup installs it).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace packaged_meshes {

inline constexpr const char* kTarball = "/usr/share/doc/libcgal-dev/data.tar.gz";

// Six meshes of 19 Ki to 89 Ki faces: range scans, sculpted and CAD-like models.
inline const std::vector<std::string>& Names() {
    static const std::vector<std::string> names = {"bunny00",  "refined_elephant", "armadillo",
                                                   "fandisk_large", "man", "camel"};
    return names;
}

// Meshes of the same package with known faults: faces wound at random (blobby-shuffled),
// split vertices and mixed winding (boeing), inside-out closed parts (b9_mesh) and
// zero-area faces (degtri_sliding).
inline const std::vector<std::string>& FaultyNames() {
    static const std::vector<std::string> names = {"blobby-shuffled", "boeing", "b9_mesh", "degtri_sliding"};
    return names;
}

class Extracted {
public:
    Extracted() {
        if (!std::filesystem::exists(kTarball)) return;
        char pattern[] = "/tmp/packaged_meshes_XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        directory_ = pattern;
        std::string command = "tar -xzf " + std::string(kTarball) + " -C " + directory_;
        for (const auto* list : {&Names(), &FaultyNames()})
            for (const std::string& name : *list) command += " data/meshes/" + name + ".off";
        if (std::system(command.c_str()) != 0) Remove();
    }
    ~Extracted() { Remove(); }
    Extracted(const Extracted&) = delete;
    Extracted& operator=(const Extracted&) = delete;

    // The extracted file's path, empty when the meshes are not available.
    std::string Path(const std::string& name) const {
        return directory_.empty() ? std::string() : directory_ + "/data/meshes/" + name + ".off";
    }

private:
    void Remove() {
        if (!directory_.empty()) std::filesystem::remove_all(directory_);
        directory_.clear();
    }
    std::string directory_;
};

// The process's extraction, made on first use.
inline const Extracted& Meshes() {
    static const Extracted extracted;
    return extracted;
}

}  // namespace packaged_meshes
