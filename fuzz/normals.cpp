// ComputeVertexNormals on arbitrary meshes, with no adjacency, an arbitrary one, or the
// mesh's own: it must never crash, and on refusal the vertices stay as they were.
#include "facet/normals.h"
#include "fuzz_mesh_input.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

std::vector<std::uint8_t> VertexBytes(facet::Mesh* mesh) {
    void* data = nullptr;
    if (mesh->LockVertices(D3DLOCK_READONLY, &data) != D3D_OK) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::vector<std::uint8_t> copy(bytes, bytes + std::size_t{mesh->VertexCount()} * mesh->VertexStride());
    mesh->UnlockVertices();
    return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    facet::Mesh* mesh = fuzz_input::DecodeMesh(input);
    if (mesh == nullptr) return 0;
    const DWORD faces = mesh->FaceCount();

    std::vector<DWORD> adjacency;
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 1:
            adjacency = fuzz_input::DecodeEntries(input, 3 * faces, faces);
            break;
        case 2:
            adjacency.resize(3 * faces);
            if (mesh->AdjacencyFromPointReps(nullptr, adjacency.data()) != D3D_OK) adjacency.clear();
            break;
        default:
            break;
    }
    const std::vector<std::uint8_t> before = VertexBytes(mesh);
    const HRESULT result = facet::ComputeVertexNormals(mesh, adjacency.empty() ? nullptr : adjacency.data());
    Check(result == D3D_OK || result == D3DERR_INVALIDCALL || result == static_cast<HRESULT>(0x88760B55u));
    if (result == D3DERR_INVALIDCALL) Check(VertexBytes(mesh) == before);
    mesh->Release();
    return 0;
}
