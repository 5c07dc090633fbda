// ComputeWeldedVertexNormals: the weld, the adjacency between the welded points, and the
// normals over that adjacency, with the adjacency left out where it cannot change them.
//
// The adjacency pairs an edge a→b only with an edge b→a between the same representatives.
// When every vertex is its own representative, a walk around vertex v through that
// adjacency therefore enters each next face at a corner holding v itself, so it gives no
// other vertex v as representative: the representatives from the walks are the vertices
// themselves, exactly the normals with no adjacency at all. A walk can still fail, by
// reaching more than the walk limit of faces, only around a vertex that lies in that many;
// such a mesh takes the whole way, so its result (the failure) is unchanged too. Scanned
// meshes are mostly like this, and for them the adjacency and the walks were four fifths
// of the work.
#include "facet/normals.h"

#include "facet/thread_pool.h"
#include "facet/weld.h"
#include "geometry/fan_walks.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace facet {

namespace {

bool EveryVertexStandsAlone(const std::vector<DWORD>& reps, ThreadPool* pool) {
    const std::size_t parts = PartsFor(pool, reps.size());
    std::vector<unsigned char> alone(parts, 1);
    RunParts(pool, parts, [&](std::size_t part) {
        for (std::size_t vertex = PartStart(reps.size(), parts, part); vertex < PartStart(reps.size(), parts, part + 1);
             ++vertex)
            if (reps[vertex] != vertex) {
                alone[part] = 0;
                return;
            }
    });
    return std::find(alone.begin(), alone.end(), 0) == alone.end();
}

// Whether no vertex lies in more corners (so in more faces) than a walk may reach. Each
// part counts the corners of its own range of vertices, in a pass over every corner.
template <typename Index>
bool NoVertexPastWalkLimit(const Index* indices, DWORD faceCount, DWORD vertexCount, ThreadPool* pool) {
    constexpr DWORD kLimit = fan_walks::kMaxWalkFaces;
    if (faceCount <= kLimit) return true;
    std::unique_ptr<std::uint16_t[]> counts(new (std::nothrow) std::uint16_t[vertexCount]());
    static_assert(kLimit < 0xFFFF, "a count stops one past the limit");
    if (counts == nullptr) return false;
    const std::size_t corners = std::size_t{3} * faceCount;
    const std::size_t parts = PartsFor(pool, vertexCount);
    std::vector<unsigned char> within(parts, 1);
    RunParts(pool, parts, [&](std::size_t part) {
        const auto first = static_cast<DWORD>(PartStart(vertexCount, parts, part));
        const auto last = static_cast<DWORD>(PartStart(vertexCount, parts, part + 1));
        for (std::size_t corner = 0; corner < corners; ++corner) {
            const DWORD vertex = indices[corner];
            if (vertex < first || vertex >= last) continue;
            if (++counts[vertex] > kLimit) {
                within[part] = 0;
                return;
            }
        }
    });
    return std::find(within.begin(), within.end(), 0) == within.end();
}

// Whether the adjacency of `mesh` between `reps` would join no vertex to another when the
// normals walk around its vertices.
bool AdjacencyJoinsNothing(Mesh* mesh, const std::vector<DWORD>& reps, ThreadPool* pool) {
    if (!EveryVertexStandsAlone(reps, pool)) return false;
    void* indices = nullptr;
    if (FAILED(mesh->LockIndices(D3DLOCK_READONLY, &indices))) return false;
    const bool within = (mesh->Options() & MeshOptions::Indices32Bit) != 0
                            ? NoVertexPastWalkLimit(static_cast<const DWORD*>(indices), mesh->FaceCount(),
                                                    mesh->VertexCount(), pool)
                            : NoVertexPastWalkLimit(static_cast<const WORD*>(indices), mesh->FaceCount(),
                                                    mesh->VertexCount(), pool);
    mesh->UnlockIndices();
    return within;
}

}  // namespace

HRESULT ComputeWeldedVertexNormals(Mesh* mesh, float epsilon, ThreadPool* pool,
                                   const std::function<void(const char*)>& step) {
    if (mesh == nullptr) return D3DERR_INVALIDCALL;
    const auto report = [&](const char* name) {
        if (step) step(name);
    };
    std::vector<DWORD> reps;
    std::vector<DWORD> adjacency;
    try {
        reps.resize(mesh->VertexCount());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    report("welding");
    HRESULT result = PointRepsFromPositions(mesh, epsilon, reps.data(), pool);
    if (FAILED(result)) return result;
    if (!AdjacencyJoinsNothing(mesh, reps, pool)) {
        try {
            adjacency.resize(std::size_t{3} * mesh->FaceCount());
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        report("adjacency");
        result = AdjacencyFromPointReps(mesh, reps.data(), adjacency.data(), pool);
        if (FAILED(result)) return result;
    }
    reps = {};
    report("normals");
    return ComputeVertexNormals(mesh, adjacency.empty() ? nullptr : adjacency.data(), pool);
}

}  // namespace facet
