// Reading on a pool against reading on the caller alone. This build splits reads from a
// few bytes on (FACET_SPLIT_SMALL_WORK), so every input takes the paths a large file
// takes on a pool: text in chunks cut at line ends, binary PLY records in parts, binary
// STL's triangles copied on one thread while another joins them. As each format, the mesh
// (every byte of its vertices and indices), the summary and the refusal must be the same
// either way, and so must the file's data as convert reads it. The pooled reads map the
// input as a file, so their chunks also let go of the mapped pages as they pass them.
#include "mesh_file_reading.h"

#include <bit>
#include <cstring>
#include <string>
#include <vector>

namespace {

using fuzz_input::Check;
using fuzz_input::MemoryFile;
using fuzz_input::SameBits;

bool SameSummary(const facet::MeshFileSummary& a, const facet::MeshFileSummary& b) {
    const auto bits = [](const float (&v)[3]) {
        return std::vector<std::uint32_t>{std::bit_cast<std::uint32_t>(v[0]), std::bit_cast<std::uint32_t>(v[1]),
                                          std::bit_cast<std::uint32_t>(v[2])};
    };
    return a.format == b.format && a.encoding == b.encoding && a.polygons == b.polygons &&
           a.splitPolygons == b.splitPolygons && a.nonConvexPolygons == b.nonConvexPolygons &&
           a.vertices == b.vertices && bits(a.minimum) == bits(b.minimum) && bits(a.maximum) == bits(b.maximum) &&
           a.joinedCorners == b.joinedCorners && a.splitVertices == b.splitVertices;
}

// Every byte of the mesh's vertices and indices, with its layout.
std::vector<std::uint8_t> MeshBytes(facet::Mesh* mesh) {
    std::vector<std::uint8_t> bytes;
    const auto append = [&](const void* data, std::size_t size) {
        const auto* from = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), from, from + size);
    };
    const DWORD layout[] = {mesh->Options(), mesh->VertexStride(), mesh->VertexCount(), mesh->FaceCount()};
    append(layout, sizeof layout);
    void* data = nullptr;
    Check(mesh->LockVertices(D3DLOCK_READONLY, &data) == D3D_OK);
    append(data, std::size_t{mesh->VertexStride()} * mesh->VertexCount());
    mesh->UnlockVertices();
    Check(mesh->LockIndices(D3DLOCK_READONLY, &data) == D3D_OK);
    const bool wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
    append(data, std::size_t{3} * mesh->FaceCount() * (wide ? 4 : 2));
    mesh->UnlockIndices();
    return bytes;
}

struct MeshRead {
    HRESULT result = D3D_OK;
    std::string error;
    facet::MeshFileSummary summary;
    std::vector<std::uint8_t> mesh;

    bool operator==(const MeshRead& other) const {
        return result == other.result && error == other.error && mesh == other.mesh &&
               (result != D3D_OK || SameSummary(summary, other.summary));
    }
};

MeshRead Finish(HRESULT result, facet::Mesh* mesh, MeshRead read) {
    read.result = result;
    if (result == D3D_OK) {
        fuzz_input::CheckMesh(mesh, read.summary);
        read.mesh = MeshBytes(mesh);
        mesh->Release();
    }
    return read;
}

MeshRead ReadAlone(const std::uint8_t* data, std::size_t size, const char* name, facet::MeshFileFormat format) {
    MeshRead read;
    facet::Mesh* mesh = nullptr;
    const HRESULT result = facet::ReadMeshBytes(fuzz_input::SharedDevice(), name, format, data, size, {}, &mesh,
                                                &read.summary, &read.error);
    return Finish(result, mesh, std::move(read));
}

MeshRead ReadMappedOnPool(const std::uint8_t* data, std::size_t size, const char* name) {
    facet::MeshReadOptions options;
    options.pool = &fuzz_input::SharedPool();
    MeshRead read;
    facet::Mesh* mesh = nullptr;
    const int descriptor = MemoryFile(data, size);
    const HRESULT result = facet::ReadMeshDescriptor(fuzz_input::SharedDevice(), descriptor, name, options, &mesh,
                                                     &read.summary, &read.error);
    close(descriptor);
    return Finish(result, mesh, std::move(read));
}

// The file's data as convert reads it (a file without faces allowed), mapped.
void CheckDataAlike(const std::uint8_t* bytes, std::size_t size, const char* name) {
    facet::MeshFileData data[2];
    facet::MeshFileSummary summary[2];
    std::string error[2];
    HRESULT result[2];
    for (int pooled = 0; pooled < 2; ++pooled) {
        facet::MeshReadOptions options;
        options.allowNoFaces = true;
        if (pooled == 1) options.pool = &fuzz_input::SharedPool();
        const int descriptor = MemoryFile(bytes, size);
        result[pooled] = facet::ReadMeshDescriptorData(descriptor, name, options, &data[pooled], &summary[pooled],
                                                       &error[pooled]);
        close(descriptor);
    }
    Check(result[0] == result[1] && error[0] == error[1]);
    if (result[0] != D3D_OK) return;
    Check(SameSummary(summary[0], summary[1]));
    Check(SameBits(data[0].positions, data[1].positions) && SameBits(data[0].normals, data[1].normals) &&
          SameBits(data[0].textureCoordinates, data[1].textureCoordinates) &&
          SameBits(data[0].colors, data[1].colors) && data[0].corners == data[1].corners &&
          data[0].colorBytes == data[1].colorBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const struct {
        const char* name;
        facet::MeshFileFormat format;
    } formats[] = {{"input.obj", facet::MeshFileFormat::Obj},
                   {"input.ply", facet::MeshFileFormat::Ply},
                   {"input.off", facet::MeshFileFormat::Off},
                   {"input.stl", facet::MeshFileFormat::Stl}};
    for (const auto& [name, format] : formats) {
        Check(ReadAlone(data, size, name, format) == ReadMappedOnPool(data, size, name));
        CheckDataAlike(data, size, name);
    }
    return 0;
}
