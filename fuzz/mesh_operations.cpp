// The mesh object's own operations on arbitrary meshes (either index width, any vertex
// bytes, corners out of range or marking unused faces, inconsistent group tables): cloning,
// optimising and cleaning must never crash, and what they report as success must hold.
// - A clone into the same layout and index width holds the same vertex bytes and indices.
// - An optimised mesh holds the same triangles: new face i, read back through the vertex
//   remap, names the corners of old face faceRemap[i] with its attribute id, each new
//   vertex holds the bytes of the old one it came from, and both remaps name each old
//   face and vertex at most once.
// - CleanMesh reports what ValidateMesh counted, and a cleaned mesh has nothing left to
//   weld or remove.
#include "facet/mesh_cleaning.h"
#include "facet/result_buffer.h"
#include "fuzz_mesh_input.h"

#include <cstring>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

struct MeshContents {
    std::vector<std::uint8_t> vertices;
    std::vector<DWORD> corners;  // widened from either index width
    std::vector<DWORD> attributes;
};

MeshContents ContentsOf(facet::Mesh* mesh) {
    MeshContents contents;
    void* data = nullptr;
    Check(mesh->LockVertices(D3DLOCK_READONLY, &data) == D3D_OK);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    contents.vertices.assign(bytes, bytes + std::size_t{mesh->VertexStride()} * mesh->VertexCount());
    mesh->UnlockVertices();
    Check(mesh->LockIndices(D3DLOCK_READONLY, &data) == D3D_OK);
    const std::size_t corners = std::size_t{3} * mesh->FaceCount();
    const bool wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
    for (std::size_t i = 0; i < corners; ++i)
        contents.corners.push_back(wide ? static_cast<const DWORD*>(data)[i] : static_cast<const WORD*>(data)[i]);
    mesh->UnlockIndices();
    DWORD* attributes = nullptr;
    Check(mesh->LockAttributes(D3DLOCK_READONLY, &attributes) == D3D_OK);
    contents.attributes.assign(attributes, attributes + mesh->FaceCount());
    mesh->UnlockAttributes();
    return contents;
}

facet::Mesh* SameLayoutClone(facet::Mesh* mesh) {
    facet::Mesh* clone = nullptr;
    const HRESULT result =
        mesh->CloneWithFormat(mesh->Options(), mesh->VertexFormat(), fuzz_input::SharedDevice(), &clone);
    Check(result == D3D_OK || result == D3DERR_INVALIDCALL);
    Check((result == D3D_OK) == (clone != nullptr));
    return clone;
}

void CheckClone(facet::Mesh* mesh, facet::Mesh* clone, const MeshContents& before) {
    const MeshContents cloned = ContentsOf(clone);
    Check(clone->VertexStride() == mesh->VertexStride() && cloned.vertices == before.vertices &&
          cloned.corners == before.corners && cloned.attributes == before.attributes);
}

// Whether the entries below `used` are distinct and below `limit`, and the rest are empty.
bool IsPartialPermutation(const DWORD* entries, std::size_t count, std::size_t used, std::size_t limit) {
    std::vector<bool> seen(limit, false);
    for (std::size_t i = 0; i < count; ++i) {
        if (i >= used) {
            if (entries[i] != 0xFFFFFFFF) return false;
            continue;
        }
        if (entries[i] >= limit || seen[entries[i]]) return false;
        seen[entries[i]] = true;
    }
    return true;
}

void CheckOptimized(facet::Mesh* mesh, FuzzedDataProvider& input, const MeshContents& before) {
    const DWORD flags = input.ConsumeIntegralInRange<DWORD>(0, facet::OptimizeFlags::All);
    const DWORD faces = mesh->FaceCount(), vertices = mesh->VertexCount();
    std::vector<DWORD> adjacencyIn;
    if (input.ConsumeBool()) adjacencyIn = fuzz_input::DecodeEntries(input, 3 * faces, faces);
    std::vector<DWORD> adjacencyOut(3 * std::size_t{faces}, 0xA5A5A5A5);
    std::vector<DWORD> faceRemap(faces, 0xA5A5A5A5);
    facet::ResultBuffer* vertexRemap = nullptr;
    facet::Mesh* optimized = nullptr;
    const HRESULT result =
        mesh->OptimizeInto(flags, adjacencyIn.empty() ? nullptr : adjacencyIn.data(), adjacencyOut.data(),
                           faceRemap.data(), &vertexRemap, &optimized);
    Check(result == D3D_OK || result == D3DERR_INVALIDCALL);
    if (result != D3D_OK) {
        Check(optimized == nullptr && vertexRemap == nullptr);
        return;
    }
    const MeshContents after = ContentsOf(optimized);
    const DWORD newFaces = optimized->FaceCount(), newVertices = optimized->VertexCount();
    Check(newFaces <= faces && newVertices <= vertices && optimized->VertexStride() == mesh->VertexStride());
    Check(vertexRemap->Size() == sizeof(DWORD) * vertices);
    const auto* vertexFrom = static_cast<const DWORD*>(vertexRemap->Data());
    Check(IsPartialPermutation(faceRemap.data(), faces, newFaces, faces));
    Check(IsPartialPermutation(vertexFrom, vertices, newVertices, vertices));
    const std::size_t stride = mesh->VertexStride();
    for (DWORD v = 0; v < newVertices; ++v)
        Check(std::memcmp(&after.vertices[v * stride], &before.vertices[vertexFrom[v] * stride], stride) == 0);
    // An unused face is one whose first corner is the empty index; it stays unused.
    const DWORD empty = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0 ? 0xFFFFFFFF : 0xFFFF;
    for (DWORD face = 0; face < newFaces; ++face) {
        const DWORD old = faceRemap[face];
        Check(after.attributes[face] == before.attributes[old]);
        if (before.corners[3 * old] == empty) {
            Check(after.corners[3 * face] == empty);
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const DWORD corner = after.corners[3 * face + k];
            Check(corner < newVertices && vertexFrom[corner] == before.corners[3 * old + k]);
        }
    }
    for (DWORD entry : adjacencyOut) Check(entry == facet::NoNeighbour || entry < newFaces);
    vertexRemap->Release();
    optimized->Release();
}

bool SameReport(const facet::MeshCleaningReport& a, const facet::MeshCleaningReport& b) {
    return a.weldedVertices == b.weldedVertices && a.degenerateFaces == b.degenerateFaces &&
           a.duplicateFaces == b.duplicateFaces && a.unreferencedVertices == b.unreferencedVertices &&
           a.flippedFaces == b.flippedFaces && a.invertedComponents == b.invertedComponents &&
           a.components == b.components && a.closedComponents == b.closedComponents;
}

void CheckCleaned(facet::Mesh* mesh, float epsilon) {
    facet::Mesh* clone = SameLayoutClone(mesh);
    if (clone == nullptr) return;
    facet::MeshCleaningReport counted, cleaned, again;
    const HRESULT validated = facet::ValidateMesh(mesh, epsilon, &counted);
    Check(facet::CleanMesh(clone, epsilon, &cleaned) == validated);
    if (validated == D3D_OK) {
        Check(SameReport(counted, cleaned));
        Check(facet::ValidateMesh(clone, epsilon, &again) == D3D_OK);
        Check(again.weldedVertices == 0 && again.degenerateFaces == 0 && again.duplicateFaces == 0 &&
              again.unreferencedVertices == 0);
    }
    clone->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    facet::Mesh* mesh = fuzz_input::DecodeMesh(input);
    if (mesh == nullptr) return 0;
    const MeshContents before = ContentsOf(mesh);
    if (facet::Mesh* clone = SameLayoutClone(mesh)) {
        CheckClone(mesh, clone, before);
        clone->Release();
    }
    CheckOptimized(mesh, input, before);
    CheckCleaned(mesh, input.PickValueInArray({0.0f, 1e-3f, 0.25f}));
    // None of them changes the mesh it starts from.
    const MeshContents after = ContentsOf(mesh);
    Check(after.vertices == before.vertices && after.corners == before.corners && after.attributes == before.attributes);
    mesh->Release();
    return 0;
}
