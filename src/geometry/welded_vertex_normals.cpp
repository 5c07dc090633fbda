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
// part counts the corners of its own range of faces (a count stops being raised once past
// the limit, so 16 bits hold it); the parts' counts are then added vertex by vertex. The
// parts are few, so that their counts stay a few bytes a vertex.
template <typename Index>
bool NoVertexPastWalkLimit(const Index* indices, DWORD faceCount, DWORD vertexCount, ThreadPool* pool) {
    constexpr DWORD kLimit = fan_walks::kMaxWalkFaces;
    static_assert(kLimit < 0xFFFF, "a count one past the limit fits in 16 bits");
    constexpr std::size_t kMostParts = 4;
    if (faceCount <= kLimit) return true;
    const std::size_t parts = std::min(PartsFor(pool, faceCount, 1u << 18), kMostParts);
    std::unique_ptr<std::uint16_t[]> counts(new (std::nothrow) std::uint16_t[parts * vertexCount]());
    if (counts == nullptr) return false;
    std::vector<unsigned char> within(parts, 1);
    RunParts(pool, parts, [&](std::size_t part) {
        std::uint16_t* own = counts.get() + part * vertexCount;
        const std::size_t last = 3 * PartStart(faceCount, parts, part + 1);
        for (std::size_t corner = 3 * PartStart(faceCount, parts, part); corner < last; ++corner) {
            const DWORD vertex = indices[corner];
            if (vertex >= vertexCount) continue;  // refused by the normals themselves
            if (own[vertex] > kLimit) {
                within[part] = 0;
                return;
            }
            ++own[vertex];
        }
    });
    if (std::find(within.begin(), within.end(), 0) != within.end()) return false;
    if (parts == 1) return std::none_of(counts.get(), counts.get() + vertexCount, [](std::uint16_t c) { return c > kLimit; });
    const std::size_t ranges = PartsFor(pool, vertexCount);
    std::vector<unsigned char> summedWithin(ranges, 1);
    RunParts(pool, ranges, [&](std::size_t range) {
        for (std::size_t vertex = PartStart(vertexCount, ranges, range); vertex < PartStart(vertexCount, ranges, range + 1);
             ++vertex) {
            DWORD sum = 0;
            for (std::size_t part = 0; part < parts; ++part) sum += counts[part * vertexCount + vertex];
            summedWithin[range] &= sum <= kLimit ? 1 : 0;
        }
    });
    return std::find(summedWithin.begin(), summedWithin.end(), 0) == summedWithin.end();
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
