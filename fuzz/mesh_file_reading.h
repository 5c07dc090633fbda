// Reading arbitrary bytes as a mesh file of one format: never a crash, a refusal always
// comes with one line of text naming the file, and an accepted mesh keeps its corners in
// range in the index width its counts call for.
#pragma once

#include "fuzz_mesh_input.h"
#include "facet/mesh_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace fuzz_input {

inline void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// The bytes in an anonymous in-memory file, which the readers map like a file on disk.
inline int MemoryFile(const void* data, std::size_t size) {
    const int descriptor = memfd_create("mesh", MFD_CLOEXEC);
    Check(descriptor >= 0);
    Check(size == 0 || write(descriptor, data, size) == static_cast<ssize_t>(size));
    return descriptor;
}

inline bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

template <typename Index>
void CheckCorners(facet::Mesh* mesh) {
    void* data = nullptr;
    Check(mesh->LockIndices(D3DLOCK_READONLY, &data) == D3D_OK);
    const auto* corners = static_cast<const Index*>(data);
    for (std::size_t i = 0; i < std::size_t{3} * mesh->FaceCount(); ++i) Check(corners[i] < mesh->VertexCount());
    mesh->UnlockIndices();
}

// An accepted mesh: at least a triangle per polygon, the index width its counts call for,
// every corner in range.
inline void CheckMesh(facet::Mesh* mesh, const facet::MeshFileSummary& summary) {
    Check(mesh->FaceCount() >= summary.polygons);
    const bool wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
    Check(wide == (mesh->FaceCount() > 0xFFFE || mesh->VertexCount() > 0xFFFE));
    // STL's corners are each a vertex or joined to an earlier one.
    if (summary.format == facet::MeshFileFormat::Stl)
        Check(std::uint64_t{mesh->VertexCount()} + summary.joinedCorners == 3ull * mesh->FaceCount());
    if (wide)
        CheckCorners<DWORD>(mesh);
    else
        CheckCorners<WORD>(mesh);
}

inline int ReadMeshFileBytes(facet::MeshFileFormat format, const std::uint8_t* data, std::size_t size) {
    facet::Mesh* mesh = nullptr;
    facet::MeshFileSummary summary;
    std::string error;
    const HRESULT result =
        facet::ReadMeshBytes(SharedDevice(), "input", format, data, size, {}, &mesh, &summary, &error);
    if (result != D3D_OK) {
        Check(mesh == nullptr);
        Check(result != D3DERR_INVALIDCALL ||
              (error.rfind("input: ", 0) == 0 && error.find('\n') == std::string::npos));
        return 0;
    }
    CheckMesh(mesh, summary);
    mesh->Release();
    return 0;
}

}  // namespace fuzz_input
