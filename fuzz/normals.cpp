// ComputeVertexNormals on arbitrary meshes, with no adjacency, an arbitrary one, or the
// mesh's own: it must never crash, and on refusal the vertices stay as they were. The
// welded normals, which leave out the walks and the adjacency that cannot join anything,
// must give the result code and bits of taking every step: weld, adjacency, normals.
#include "facet/normals.h"
#include "facet/weld.h"
#include "fuzz_mesh_input.h"
#include "geometry/point_rep_normals.h"

#include <cstring>

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

// The normals of every step, taken one after the other, into `normals`.
HRESULT NormalsStepByStep(facet::Mesh* mesh, float epsilon, float* normals) {
    std::vector<DWORD> reps(mesh->VertexCount());
    HRESULT result = facet::PointRepsFromPositions(mesh, epsilon, reps.data(), nullptr);
    if (FAILED(result)) return result;
    std::vector<DWORD> adjacency(3 * std::size_t{mesh->FaceCount()});
    result = facet::AdjacencyFromPointReps(mesh, reps.data(), adjacency.data(), nullptr);
    if (FAILED(result)) return result;
    return facet::ComputeVertexNormals(mesh, adjacency.data(), nullptr, normals);
}

void CheckWeldedNormalsTakeTheSteps(facet::Mesh* mesh, float epsilon) {
    std::vector<float> welded(3 * std::size_t{mesh->VertexCount()}, -7.0f), steps = welded;
    const HRESULT result = facet::ComputeWeldedVertexNormals(mesh, epsilon, nullptr, welded.data());
    Check(result == NormalsStepByStep(mesh, epsilon, steps.data()));
    if (result == D3D_OK) Check(std::memcmp(welded.data(), steps.data(), welded.size() * sizeof(float)) == 0);
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
    CheckWeldedNormalsTakeTheSteps(mesh, input.PickValueInArray({0.0f, 1e-3f, 0.25f}));
    const std::vector<std::uint8_t> before = VertexBytes(mesh);
    const HRESULT result = facet::ComputeVertexNormals(mesh, adjacency.empty() ? nullptr : adjacency.data());
    Check(result == D3D_OK || result == D3DERR_INVALIDCALL || result == static_cast<HRESULT>(0x88760B55u));
    if (result == D3DERR_INVALIDCALL) Check(VertexBytes(mesh) == before);
    mesh->Release();
    return 0;
}
