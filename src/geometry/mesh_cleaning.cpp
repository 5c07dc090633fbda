// ValidateMesh and CleanMesh: both plan on copies of the corners and positions (weld,
// then drop faces that are not triangles or repeat another, then repair the winding);
// cleaning writes the planned corners, marking dropped faces unused, and lets compacting
// optimisation remove those faces and the vertices nobody uses.
#include "facet/mesh_cleaning.h"

#include "facet/weld.h"
#include "geometry/optimization_plan.h"
#include "geometry/vertex_layout_view.h"
#include "geometry/winding_repair.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace facet {

namespace {

struct CleaningPlan {
    std::vector<std::uint32_t> corners;  // kUnusedFaceCorner first for a dropped face
    MeshCleaningReport report;
};

// The corners widened to 32 bits, or false when a used face names a vertex past the count.
HRESULT ReadCorners(Mesh* mesh, std::vector<std::uint32_t>* corners) {
    void* data = nullptr;
    const HRESULT result = mesh->LockIndices(D3DLOCK_READONLY, &data);
    if (FAILED(result)) return result;
    const bool wide = (mesh->Options() & MeshOptions::Indices32Bit) != 0;
    const std::uint32_t empty = wide ? 0xFFFFFFFF : 0xFFFF;
    corners->resize(3 * std::size_t{mesh->FaceCount()});
    for (std::size_t i = 0; i < corners->size(); ++i)
        (*corners)[i] = wide ? static_cast<const DWORD*>(data)[i] : static_cast<const WORD*>(data)[i];
    mesh->UnlockIndices();
    for (std::size_t f = 0; f < corners->size(); f += 3) {
        std::uint32_t* c = corners->data() + f;
        if (c[0] == empty) {
            c[0] = c[1] = c[2] = kUnusedFaceCorner;
        } else if (c[0] >= mesh->VertexCount() || c[1] >= mesh->VertexCount() || c[2] >= mesh->VertexCount()) {
            return D3DERR_INVALIDCALL;
        }
    }
    return D3D_OK;
}

HRESULT ReadPositions(Mesh* mesh, std::vector<float>* positions) {
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    mesh->CopyDeclaration(declaration);
    const VertexLayoutView layout(declaration);
    void* data = nullptr;
    const HRESULT result = mesh->LockVertices(D3DLOCK_READONLY, &data);
    if (FAILED(result)) return result;
    positions->resize(3 * std::size_t{mesh->VertexCount()});
    for (std::size_t v = 0; v < mesh->VertexCount(); ++v)
        std::memcpy(&(*positions)[3 * v], static_cast<const BYTE*>(data) + v * layout.stride + layout.position->Offset,
                    3 * sizeof(float));
    mesh->UnlockVertices();
    return D3D_OK;
}

bool HasZeroArea(const std::vector<float>& positions, const std::uint32_t* c) {
    double edge[2][3];
    for (int e = 0; e < 2; ++e)
        for (int i = 0; i < 3; ++i)
            edge[e][i] = double{positions[3 * std::size_t{c[e + 1]} + i]} - positions[3 * std::size_t{c[0]} + i];
    return edge[0][1] * edge[1][2] - edge[0][2] * edge[1][1] == 0.0 &&
           edge[0][2] * edge[1][0] - edge[0][0] * edge[1][2] == 0.0 &&
           edge[0][0] * edge[1][1] - edge[0][1] * edge[1][0] == 0.0;
}

void DropDegenerateFaces(const std::vector<float>& positions, CleaningPlan& plan) {
    for (std::size_t f = 0; f < plan.corners.size(); f += 3) {
        std::uint32_t* c = &plan.corners[f];
        if (c[0] == kUnusedFaceCorner) continue;
        if (c[0] == c[1] || c[1] == c[2] || c[0] == c[2] || HasZeroArea(positions, c)) {
            c[0] = c[1] = c[2] = kUnusedFaceCorner;
            ++plan.report.degenerateFaces;
        }
    }
}

// Of the faces with one set of corners, the first in face order stays.
void DropDuplicateFaces(CleaningPlan& plan) {
    std::vector<std::array<std::uint32_t, 4>> keys;  // sorted corners, face
    for (std::size_t f = 0; f < plan.corners.size(); f += 3) {
        const std::uint32_t* c = &plan.corners[f];
        if (c[0] == kUnusedFaceCorner) continue;
        std::array<std::uint32_t, 4> key = {c[0], c[1], c[2], static_cast<std::uint32_t>(f / 3)};
        std::sort(key.begin(), key.begin() + 3);
        keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (std::equal(keys[i].begin(), keys[i].begin() + 3, keys[i - 1].begin())) {
            std::uint32_t* c = &plan.corners[3 * std::size_t{keys[i][3]}];
            c[0] = c[1] = c[2] = kUnusedFaceCorner;
            ++plan.report.duplicateFaces;
        }
}

HRESULT PlanCleaning(Mesh* mesh, float weldEpsilon, CleaningPlan* plan, ThreadPool* pool) {
    if (mesh == nullptr || (mesh->Options() & (MeshOptions::IndexWriteOnly | MeshOptions::VertexWriteOnly)) != 0)
        return D3DERR_INVALIDCALL;
    try {
        std::vector<DWORD> reps(mesh->VertexCount());
        // A mesh compacted to nothing has no vertex: the weld still checks the epsilon and
        // the layout, with somewhere to write that it never writes to.
        DWORD noVertex = 0;
        HRESULT result = PointRepsFromPositions(mesh, weldEpsilon, reps.empty() ? &noVertex : reps.data(), pool);
        if (FAILED(result)) return result;
        result = ReadCorners(mesh, &plan->corners);
        if (FAILED(result)) return result;
        std::vector<float> positions;
        result = ReadPositions(mesh, &positions);
        if (FAILED(result)) return result;

        for (std::size_t v = 0; v < reps.size(); ++v) plan->report.weldedVertices += reps[v] != v;
        for (std::uint32_t& corner : plan->corners)
            if (corner != kUnusedFaceCorner) corner = reps[corner];
        DropDegenerateFaces(positions, *plan);
        DropDuplicateFaces(*plan);
        const WindingRepairCounts winding = RepairWinding(plan->corners, positions, kUnusedFaceCorner);
        plan->report.flippedFaces = winding.flippedFaces;
        plan->report.invertedComponents = winding.invertedComponents;
        plan->report.components = winding.components;
        plan->report.closedComponents = winding.closedComponents;

        std::vector<bool> used(reps.size(), false);
        for (const std::uint32_t corner : plan->corners)
            if (corner != kUnusedFaceCorner) used[corner] = true;
        for (std::size_t v = 0; v < reps.size(); ++v)
            plan->report.unreferencedVertices += reps[v] == v && !used[v];
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

}  // namespace

HRESULT ValidateMesh(Mesh* mesh, float weldEpsilon, MeshCleaningReport* report, ThreadPool* pool) {
    if (report == nullptr) return D3DERR_INVALIDCALL;
    CleaningPlan plan;
    const HRESULT result = PlanCleaning(mesh, weldEpsilon, &plan, pool);
    if (SUCCEEDED(result)) *report = plan.report;
    return result;
}

HRESULT CleanMesh(Mesh* mesh, float weldEpsilon, MeshCleaningReport* report, ThreadPool* pool) {
    if (report == nullptr) return D3DERR_INVALIDCALL;
    CleaningPlan plan;
    HRESULT result = PlanCleaning(mesh, weldEpsilon, &plan, pool);
    if (FAILED(result)) return result;
    void* data = nullptr;
    result = mesh->LockIndices(0, &data);
    if (FAILED(result)) return result;
    const bool wide = (mesh->Options() & MeshOptions::Indices32Bit) != 0;
    for (std::size_t i = 0; i < plan.corners.size(); ++i) {
        if (wide)
            static_cast<DWORD*>(data)[i] = plan.corners[i];
        else
            static_cast<WORD*>(data)[i] = static_cast<WORD>(plan.corners[i]);  // the unused marker narrows to 0xFFFF
    }
    mesh->UnlockIndices();
    result = mesh->OptimizeSelf(OptimizeFlags::Compact, nullptr, nullptr, nullptr, nullptr);
    if (SUCCEEDED(result)) *report = plan.report;
    return result;
}

}  // namespace facet
