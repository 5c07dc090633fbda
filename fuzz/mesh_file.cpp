// Whole files through the reading entry the facet program uses (ReadMeshDescriptor), so
// that the file handling is fuzzed with the parsing: each input is put in an anonymous
// in-memory file (mapped like a regular file on disk) and read under each of the names
// .obj, .ply, .off, .stl and one without an extension (format told by the first bytes); it is
// also fed through a pipe (read in chunks like standard input), which must give the same
// answer as the mapped file, and read with a size cap one byte short, which must refuse it.
// The file's data is read as convert reads it too (no mesh, a file without faces allowed):
// it must hold what the mesh holds, and written as binary PLY, which holds every kind of
// vertex data, it must read back bit for bit.
#include "mesh_file_reading.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using fuzz_input::Check;
using fuzz_input::MemoryFile;
using fuzz_input::SameBits;

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

HRESULT ReadData(const void* bytes, std::size_t size, const char* name, facet::MeshFileData* data,
                 facet::MeshFileSummary* summary) {
    facet::MeshReadOptions options;
    options.allowNoFaces = true;
    const int descriptor = MemoryFile(bytes, size);
    std::string error;
    const HRESULT result = facet::ReadMeshDescriptorData(descriptor, name, options, data, summary, &error);
    close(descriptor);
    Check(result == D3D_OK || result == D3DERR_INVALIDCALL);
    return result;
}

// The data as convert reads it: accepted whenever the mesh was (and, without faces, more
// often), the same counts, and back bit for bit from binary PLY.
void CheckData(const std::uint8_t* bytes, std::size_t size, const Outcome& mesh) {
    facet::MeshFileData data;
    facet::MeshFileSummary summary;
    const HRESULT result = ReadData(bytes, size, "input", &data, &summary);
    if (mesh.result == D3D_OK) Check(result == D3D_OK);
    if (result != D3D_OK) return;
    Check(data.VertexCount() == summary.vertices);
    for (DWORD corner : data.corners) Check(corner < data.VertexCount());
    char* written = nullptr;
    std::size_t writtenSize = 0;
    std::FILE* file = open_memstream(&written, &writtenSize);
    facet::MeshWriteOptions options;
    options.format = facet::MeshFileFormat::Ply;
    options.binary = true;
    Check(facet::WriteMeshData(file, data, options));
    std::fclose(file);
    facet::MeshFileData back;
    Check(ReadData(written, writtenSize, "back.ply", &back, &summary) == D3D_OK);
    std::free(written);
    Check(SameBits(back.positions, data.positions) && SameBits(back.normals, data.normals) &&
          SameBits(back.textureCoordinates, data.textureCoordinates) && SameBits(back.colors, data.colors) &&
          back.corners == data.corners);
}

Outcome ReadFromMemory(const std::uint8_t* data, std::size_t size, const char* name, std::uint64_t maxBytes) {
    const int descriptor = MemoryFile(data, size);
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
    CheckData(data, size, mapped);
    const Outcome piped = ReadFromPipe(data, size, "input");
    Check(mapped.result == piped.result && mapped.error == piped.error);
    if (size > 0) Check(ReadFromMemory(data, size, "input", size - 1).result == D3DERR_INVALIDCALL);
    return 0;
}
