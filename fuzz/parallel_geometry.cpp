// The mesh routines that take a pool, on a pool against on the caller alone. This build
// splits their work from a few items on (FACET_SPLIT_SMALL_WORK), so the small meshes of a
// fuzz run are cut into as many parts as a large mesh: welding, adjacency, the walks to
// point representatives, normals, the welded normals, the statistics `facet info` prints
// and the cleaning report must give the same result code and the same bits either way.
#include "fuzz_mesh_input.h"

#include "facet/mesh_cleaning.h"
#include "facet/normals.h"
#include "facet/weld.h"
#include "geometry/mesh_statistics.h"
#include "geometry/point_rep_normals.h"

#include <bit>
#include <cstring>
#include <functional>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

struct Outcome {
    HRESULT result;
    std::vector<std::uint8_t> bytes;  // what the routine wrote, compared only on success
    bool operator==(const Outcome& other) const {
        return result == other.result && (result != D3D_OK || bytes == other.bytes);
    }
};

template <typename T>
std::vector<std::uint8_t> BytesOf(const std::vector<T>& values) {
    std::vector<std::uint8_t> bytes(values.size() * sizeof(T));
    if (!bytes.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

// Runs `routine(pool, out)` alone and on the pool, each into its own copy of `filled`
// (so untouched entries compare too), and checks that both agree; the lone run's output.
template <typename T>
std::vector<T> Agree(std::vector<T> filled, const std::function<HRESULT(facet::ThreadPool*, T*)>& routine,
                     HRESULT* result = nullptr) {
    std::vector<T> alone = filled;
    const Outcome first{routine(nullptr, alone.data()), BytesOf(alone)};
    const Outcome second{routine(&fuzz_input::SharedPool(), filled.data()), BytesOf(filled)};
    Check(first == second);
    if (result != nullptr) *result = first.result;
    return alone;
}

// Whether every corner names a vertex (no unused-face marks), as the statistics require.
bool CornersInRange(facet::Mesh* mesh) {
    void* data = nullptr;
    if (mesh->LockIndices(D3DLOCK_READONLY, &data) != D3D_OK) return false;
    const bool wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
    bool inRange = true;
    for (std::size_t i = 0; i < std::size_t{3} * mesh->FaceCount(); ++i)
        inRange = inRange && (wide ? static_cast<const DWORD*>(data)[i] : static_cast<const WORD*>(data)[i]) <
                                     mesh->VertexCount();
    mesh->UnlockIndices();
    return inRange;
}

void CheckStatistics(facet::Mesh* mesh, const std::vector<DWORD>& reps) {
    facet::MeshStatistics alone, pooled;
    const HRESULT first = facet::ComputeMeshStatistics(mesh, reps.data(), &alone, nullptr);
    const HRESULT second = facet::ComputeMeshStatistics(mesh, reps.data(), &pooled, &fuzz_input::SharedPool());
    Check(first == second);
    if (first != D3D_OK) return;
    // Field by field: the structure has padding that no one writes.
    const auto bits = [](double value) { return std::bit_cast<std::uint64_t>(value); };
    Check(alone.vertices == pooled.vertices && alone.faces == pooled.faces && alone.indices32 == pooled.indices32 &&
          alone.degenerateFaces == pooled.degenerateFaces && alone.zeroAreaFaces == pooled.zeroAreaFaces &&
          alone.unreferencedVertices == pooled.unreferencedVertices && alone.weldedPoints == pooled.weldedPoints &&
          alone.boundaryEdges == pooled.boundaryEdges && alone.nonManifoldEdges == pooled.nonManifoldEdges &&
          alone.misorientedEdges == pooled.misorientedEdges && alone.components == pooled.components &&
          alone.edgeComponents == pooled.edgeComponents && alone.closed == pooled.closed &&
          bits(alone.area) == bits(pooled.area) && alone.hasVolume == pooled.hasVolume &&
          bits(alone.volume) == bits(pooled.volume));
}

void CheckCleaningReport(facet::Mesh* mesh, float epsilon) {
    facet::MeshCleaningReport alone, pooled;
    std::memset(&alone, 0, sizeof alone);
    std::memset(&pooled, 0, sizeof pooled);
    const HRESULT first = facet::ValidateMesh(mesh, epsilon, &alone, nullptr);
    const HRESULT second = facet::ValidateMesh(mesh, epsilon, &pooled, &fuzz_input::SharedPool());
    Check(first == second);
    if (first == D3D_OK) Check(std::memcmp(&alone, &pooled, sizeof alone) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    facet::Mesh* mesh = fuzz_input::DecodeMesh(input);
    if (mesh == nullptr) return 0;
    const DWORD faces = mesh->FaceCount();
    const DWORD vertices = mesh->VertexCount();
    // Zero welds equal positions only, the case spread over threads; the others weld on one.
    const float epsilon = input.PickValueInArray({0.0f, 0.0f, 1e-3f, 0.25f});
    constexpr DWORD kUnwritten = 0xA5A5A5A5;

    HRESULT welded = D3D_OK;
    std::vector<DWORD> reps = Agree<DWORD>(
        std::vector<DWORD>(vertices, kUnwritten),
        [&](facet::ThreadPool* pool, DWORD* out) { return facet::PointRepsFromPositions(mesh, epsilon, out, pool); },
        &welded);
    // Sometimes representatives of the input's own instead: any vertex below the count.
    if (welded != D3D_OK || input.ConsumeBool()) reps = fuzz_input::DecodeEntries(input, vertices, vertices - 1);

    HRESULT built = D3D_OK;
    std::vector<DWORD> adjacency = Agree<DWORD>(
        std::vector<DWORD>(3 * faces, kUnwritten),
        [&](facet::ThreadPool* pool, DWORD* out) {
            return facet::AdjacencyFromPointReps(mesh, reps.data(), out, pool);
        },
        &built);
    if (built != D3D_OK || input.ConsumeBool()) adjacency = fuzz_input::DecodeEntries(input, 3 * faces, faces);

    Agree<DWORD>(std::vector<DWORD>(vertices, kUnwritten), [&](facet::ThreadPool* pool, DWORD* out) {
        return facet::PointRepsFromAdjacency(mesh, adjacency.data(), out, pool);
    });
    const std::vector<float> unwritten(3 * std::size_t{vertices}, -7.0f);
    Agree<float>(unwritten, [&](facet::ThreadPool* pool, float* out) {
        return facet::ComputeVertexNormals(mesh, adjacency.data(), pool, out);
    });
    Agree<float>(unwritten, [&](facet::ThreadPool* pool, float* out) {
        return facet::ComputeWeldedVertexNormals(mesh, epsilon, pool, out);
    });
    if (CornersInRange(mesh)) {
        bool repsInRange = true;
        for (const DWORD rep : reps) repsInRange = repsInRange && rep < vertices;
        if (repsInRange) CheckStatistics(mesh, reps);
        CheckCleaningReport(mesh, epsilon);
    }
    mesh->Release();
    return 0;
}
