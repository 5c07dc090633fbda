// Whole files through the reading entry the facet program uses (ReadMeshDescriptor), so
// that the file handling is fuzzed with the parsing: each input is put in an anonymous
// in-memory file (mapped like a regular file on disk) and read under each of the names
// .obj, .ply, .off, .stl and one without an extension (format told by the first bytes); it is
// also fed through a pipe (read in chunks like standard input), which must give the same
// answer as the mapped file, and read with a size cap one byte short, which must refuse it.
#include "mesh_file_reading.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace {

using fuzz_input::Check;

struct Outcome {
    HRESULT result;
    std::string error;
};

Outcome ReadDescriptor(int descriptor, const char* name, std::uint64_t maxBytes) {
    facet::MeshReadOptions options;
    options.maxInputBytes = maxBytes;
    facet::Mesh* mesh = nullptr;
    facet::MeshFileSummary summary;
    Outcome outcome;
    outcome.result =
        facet::ReadMeshDescriptor(fuzz_input::SharedDevice(), descriptor, name, options, &mesh, &summary, &outcome.error);
    if (outcome.result == D3D_OK) {
        fuzz_input::CheckMesh(mesh, summary);
        mesh->Release();
    } else {
        Check(mesh == nullptr);
        // A refusal is one line naming the input.
        Check(outcome.result == D3DERR_INVALIDCALL);
        Check(outcome.error.rfind(std::string(name) + ": ", 0) == 0 && outcome.error.find('\n') == std::string::npos);
    }
    return outcome;
}

Outcome ReadFromMemory(const std::uint8_t* data, std::size_t size, const char* name, std::uint64_t maxBytes) {
    const int descriptor = memfd_create("mesh", MFD_CLOEXEC);
    Check(descriptor >= 0);
    Check(size == 0 || write(descriptor, data, size) == static_cast<ssize_t>(size));
    const Outcome outcome = ReadDescriptor(descriptor, name, maxBytes);
    close(descriptor);
    return outcome;
}

Outcome ReadFromPipe(const std::uint8_t* data, std::size_t size, const char* name) {
    int ends[2];
    Check(pipe2(ends, O_CLOEXEC) == 0);
    // The writer stops early (EPIPE) when the reader refuses before the end.
    std::thread writer([&] {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t wrote = write(ends[1], data + done, size - done);
            if (wrote <= 0) break;
            done += static_cast<std::size_t>(wrote);
        }
        close(ends[1]);
    });
    const Outcome outcome = ReadDescriptor(ends[0], name, facet::kMaxMeshInputBytes);
    close(ends[0]);
    writer.join();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    signal(SIGPIPE, SIG_IGN);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const char* name : {"input.obj", "input.ply", "input.off", "input.stl"}) ReadFromMemory(data, size, name, size);
    const Outcome mapped = ReadFromMemory(data, size, "input", size);
    const Outcome piped = ReadFromPipe(data, size, "input");
    Check(mapped.result == piped.result && mapped.error == piped.error);
    if (size > 0) Check(ReadFromMemory(data, size, "input", size - 1).result == D3DERR_INVALIDCALL);
    return 0;
}
