// ComputeWeldedVertexNormals: the weld, the adjacency between the welded points, and the
// normals over that adjacency, with the walks around the points cut to those that can
// join anything.
//
// The adjacency pairs an edge a→b only with an edge b→a between the same representatives.
// A walk around vertex v enters each next face at the edge that pairs with the one it
// crossed, told apart from other edges naming the same face by the indices at its ends,
// and goes on from the corner where that edge meets v's point. When v is welded to no
// other vertex, that corner holds v itself (the only vertex at its point, held once by a
// face of three different points, which is also what tells the paired edge apart). So
// the walk from such a vertex reaches no vertex but its own: applied or not, it leaves
// its vertex standing for itself, as the vertex stands without it, until a later walk
// from elsewhere reaches it. Only the walks from vertices welded to others run, then, in
// the same order and so with the same result; when no two vertices weld, none runs and
// the adjacency is not even formed. A walk left out could only have failed (by reaching
// more faces than the walk limit) around a vertex in that many faces; a mesh with such a
// vertex takes the whole way, so its result is unchanged too. Scanned meshes weld
// nowhere and textured ones only along their seams: for both, the adjacency and the walks
// were most of the work.
#include "facet/normals.h"

#include "facet/thread_pool.h"
#include "facet/weld.h"
#include "geometry/face_order.h"
#include "geometry/fan_walks.h"
#include "geometry/point_rep_normals.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace facet {

namespace {

// Whether `check(first, last)` holds for every part of `count` items.
template <typename Check>
bool HoldsInEveryPart(ThreadPool* pool, std::size_t count, Check&& check) {
    const std::size_t parts = PartsFor(pool, count);
    std::vector<unsigned char> holds(parts, 1);
    RunParts(pool, parts, [&](std::size_t part) {
        const auto [first, last] = ItemsOfPart(count, parts, part);
        holds[part] = check(first, last) ? 1 : 0;
    });
    return std::find(holds.begin(), holds.end(), 0) == holds.end();
}

bool EveryVertexStandsAlone(const DWORD* reps, DWORD vertexCount, ThreadPool* pool) {
    return HoldsInEveryPart(pool, vertexCount, [&](std::size_t first, std::size_t last) {
        for (std::size_t vertex = first; vertex < last; ++vertex)
            if (reps[vertex] != vertex) return false;
        return true;
    });
}

// Whether no vertex lies in more corners, so in more faces, than a walk may reach. Each
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
        const auto [firstFace, lastFace] = ItemsOfPart(faceCount, parts, part);
        for (std::size_t corner = 3 * firstFace; corner < 3 * lastFace; ++corner) {
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
    return HoldsInEveryPart(pool, vertexCount, [&](std::size_t first, std::size_t last) {
        for (std::size_t vertex = first; vertex < last; ++vertex) {
            DWORD sum = 0;
            for (std::size_t part = 0; part < parts; ++part) sum += counts[part * vertexCount + vertex];
            if (sum > kLimit) return false;
        }
        return true;
    });
}

bool NoVertexPastWalkLimit(Mesh* mesh, ThreadPool* pool) {
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

// D3DERR_INVALIDCALL for a group table that reaches past the faces, as the adjacency
// gives it: the normals that need no adjacency refuse such a mesh too, so that the
// result is the same whichever way they take. The mesh's code when the table cannot be
// read.
HRESULT CheckGroupsWithinFaces(Mesh* mesh) {
    std::vector<GroupEntry> groups;
    const HRESULT result = CopyGroups(mesh, &groups);
    if (FAILED(result)) return result;
    const FaceOrder order{groups.data(), static_cast<DWORD>(groups.size()), mesh->FaceCount()};
    return order.IsWithinFaces() ? D3D_OK : D3DERR_INVALIDCALL;
}

// The normals from the walks of the vertices welded to others alone. The walks'
// representatives replace the weld's.
HRESULT NormalsFromSeamWalks(Mesh* mesh, DWORD* reps, const DWORD* adjacency, ThreadPool* pool, float* normals) {
    const DWORD vertexCount = mesh->VertexCount();
    fan_walks::VertexBits seams;
    if (!seams.Allocate(vertexCount)) return E_OUTOFMEMORY;
    for (DWORD vertex = 0; vertex < vertexCount; ++vertex)
        if (reps[vertex] != vertex) {
            seams.Add(vertex);
            seams.Add(reps[vertex]);
        }
    const HRESULT result = PointRepsFromChosenWalks(mesh, adjacency, seams, reps, pool);
    if (FAILED(result)) return result;
    return ComputeVertexNormalsFromPointReps(mesh, reps, pool, normals);
}

}  // namespace

HRESULT ComputeWeldedVertexNormals(Mesh* mesh, float epsilon, ThreadPool* pool,
                                   const std::function<void(const char*)>& step) {
    return ComputeWeldedVertexNormals(mesh, epsilon, pool, nullptr, step);
}

HRESULT ComputeWeldedVertexNormals(Mesh* mesh, float epsilon, ThreadPool* pool, float* normals,
                                   const std::function<void(const char*)>& step) {
    if (mesh == nullptr) return D3DERR_INVALIDCALL;
    const auto report = [&](const char* name) {
        if (step) step(name);
    };
    // Working arrays that every entry of is written: left uncleared, and mapped in large
    // pages when large.
    WorkArray<DWORD> reps;
    WorkArray<DWORD> adjacency;
    if (!reps.Allocate(mesh->VertexCount())) return E_OUTOFMEMORY;
    report("welding");
    HRESULT result = PointRepsFromPositions(mesh, epsilon, reps.get(), pool);
    if (FAILED(result)) return result;
    const bool alone = EveryVertexStandsAlone(reps.get(), mesh->VertexCount(), pool);
    const bool withinWalkLimit = NoVertexPastWalkLimit(mesh, pool);
    if (alone && withinWalkLimit) {
        result = CheckGroupsWithinFaces(mesh);
        if (FAILED(result)) return result;
        report("normals");
        return ComputeVertexNormalsFromPointReps(mesh, nullptr, pool, normals);
    }
    if (!adjacency.Allocate(std::size_t{3} * mesh->FaceCount())) return E_OUTOFMEMORY;
    report("adjacency");
    result = AdjacencyFromPointReps(mesh, reps.get(), adjacency.get(), pool);
    if (FAILED(result)) return result;
    report("normals");
    if (withinWalkLimit) return NormalsFromSeamWalks(mesh, reps.get(), adjacency.get(), pool, normals);
    reps.Free();
    return ComputeVertexNormals(mesh, adjacency.get(), pool, normals);
}

}  // namespace facet
