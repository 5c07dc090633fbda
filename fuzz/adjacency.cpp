// Both adjacency operations on arbitrary meshes, representatives and adjacency arrays:
// they must never crash, and what they report as success must be in range.
#include "fuzz_mesh_input.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    facet::Mesh* mesh = fuzz_input::DecodeMesh(input);
    if (mesh == nullptr) return 0;
    const DWORD faces = mesh->FaceCount();
    const DWORD vertices = mesh->VertexCount();

    std::vector<DWORD> reps;
    if (input.ConsumeBool()) reps = fuzz_input::DecodeEntries(input, vertices, vertices);
    std::vector<DWORD> adjacency(3 * faces, 0xA5A5A5A5);
    const HRESULT built = mesh->AdjacencyFromPointReps(reps.empty() ? nullptr : reps.data(), adjacency.data());
    Check(built == D3D_OK || built == D3DERR_INVALIDCALL);
    if (built == D3D_OK) {
        for (DWORD entry : adjacency) Check(entry == facet::NoNeighbour || entry < faces);
    } else {
        for (DWORD entry : adjacency) Check(entry == 0xA5A5A5A5);
        adjacency = fuzz_input::DecodeEntries(input, 3 * faces, faces);
    }

    std::vector<DWORD> found(vertices, 0xA5A5A5A5);
    const HRESULT walked = mesh->PointRepsFromAdjacency(adjacency.data(), found.data());
    Check(walked == D3D_OK || walked == D3DERR_INVALIDCALL || walked == static_cast<HRESULT>(0x88760B55u));
    if (walked == D3D_OK)
        for (DWORD rep : found) Check(rep < vertices);
    mesh->Release();
    return 0;
}
