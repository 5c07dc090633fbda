// Mesh::PointRepsFromAdjacency: every vertex gets the vertex that stands for its point of
// the surface, found by walking around it from face to face through the adjacency.
//
// For each corner whose vertex v has no representative yet, the walk starts in that face,
// crosses the edge that leaves v, and keeps crossing the edge leaving v in each face it
// enters; at a missing neighbour it turns back to the start face and walks the other way
// across the edges that end at v. The corner holding v's point in every face reached gets
// v as its representative. Vertices never reached stand for themselves.
//
// On a pool the walks run on every thread with the same result. A vertex's walk can only
// start at its first corner in visiting order (later on it has a representative), and
// what a walk reaches depends on nothing but the adjacency; a walk is applied when no
// walk applied before it reached its vertex from another vertex's fan, and a vertex keeps
// the representative of the last applied walk that reached it. So every vertex's walk
// runs at once, from its first corner, and only the walks that reach other vertices than
// their own (at seams) are kept: every vertex then stands for itself, and those walks are
// replayed in starting order under the rule above. A walk that runs too long, or a lack
// of memory, sends the work to the one-after-the-other walk, whose errors and partial
// results are the routine's.
#include "facet/thread_pool.h"
#include "facet/weld.h"
#include "geometry/face_order.h"
#include "geometry/fan_walks.h"
#include "geometry/parallel_fan_walk.h"
#include "geometry/sequential_fan_walk.h"

#include <vector>

namespace facet {

namespace {

using fan_walks::FanWalks;
using fan_walks::ParallelWalk;
using fan_walks::SequentialWalk;
using fan_walks::Visits;

template <typename Index>
HRESULT WalkFans(const Index* indices, DWORD vertexCount, DWORD faceCount, FaceOrder order, const DWORD* adjacency,
                 DWORD* pointReps, ThreadPool* pool, const fan_walks::VertexBits* walked = nullptr) {
    if (!order.IsWithinFaces()) return D3DERR_INVALIDCALL;
    FanWalks<Index> walks(indices, vertexCount, faceCount, walked);
    const HRESULT prepared = walks.Prepare(adjacency, pool);
    if (FAILED(prepared)) return prepared;
    const std::size_t parts = PartsFor(pool, Visits{order}.Count());
    if (parts > 1 && ParallelWalk<Index>::Fits(order) && ParallelWalk<Index>(walks, order, pool, parts).Run(pointReps))
        return D3D_OK;
    return SequentialWalk<Index>(walks, order).Run(pointReps);
}

}  // namespace

template <typename Index>
HRESULT MeshObject<Index>::PointRepsFromAdjacency(const DWORD* adjacency, DWORD* pointReps) {
    if (adjacency == nullptr || pointReps == nullptr || (options_ & MeshOptions::IndexWriteOnly) != 0)
        return D3DERR_INVALIDCALL;
    void* indices = nullptr;
    HRESULT result = LockIndices(D3DLOCK_READONLY, &indices);
    if (FAILED(result)) return result;
    result = WalkFans(static_cast<const Index*>(indices), vertexCount_, faceCount_,
                      FaceOrder{groupTable_.get(), groupCount_, faceCount_}, adjacency, pointReps, nullptr);
    UnlockIndices();
    return result;
}

template HRESULT MeshObject<WORD>::PointRepsFromAdjacency(const DWORD*, DWORD*);
template HRESULT MeshObject<DWORD>::PointRepsFromAdjacency(const DWORD*, DWORD*);

namespace {

// The walks on `pool` (null: on the caller), over the mesh's group table, from every vertex
// or from those in `walked`.
HRESULT WalkMeshFans(Mesh* mesh, const DWORD* adjacency, DWORD* pointReps, ThreadPool* pool,
                     const fan_walks::VertexBits* walked) {
    if (adjacency == nullptr || pointReps == nullptr || (mesh->Options() & MeshOptions::IndexWriteOnly) != 0)
        return D3DERR_INVALIDCALL;
    std::vector<GroupEntry> groups;
    HRESULT result = CopyGroups(mesh, &groups);
    if (FAILED(result)) return result;
    void* indices = nullptr;
    result = mesh->LockIndices(D3DLOCK_READONLY, &indices);
    if (FAILED(result)) return result;
    const FaceOrder order{groups.data(), static_cast<DWORD>(groups.size()), mesh->FaceCount()};
    result = (mesh->Options() & MeshOptions::Indices32Bit) != 0
                 ? WalkFans(static_cast<const DWORD*>(indices), mesh->VertexCount(), mesh->FaceCount(), order, adjacency,
                            pointReps, pool, walked)
                 : WalkFans(static_cast<const WORD*>(indices), mesh->VertexCount(), mesh->FaceCount(), order, adjacency,
                            pointReps, pool, walked);
    mesh->UnlockIndices();
    return result;
}

}  // namespace

HRESULT PointRepsFromAdjacency(Mesh* mesh, const DWORD* adjacency, DWORD* pointReps, ThreadPool* pool) {
    if (mesh == nullptr) return D3DERR_INVALIDCALL;
    if (pool == nullptr || pool->Size() == 1) return mesh->PointRepsFromAdjacency(adjacency, pointReps);
    return WalkMeshFans(mesh, adjacency, pointReps, pool, nullptr);
}

HRESULT PointRepsFromChosenWalks(Mesh* mesh, const DWORD* adjacency, const fan_walks::VertexBits& walked,
                                 DWORD* pointReps, ThreadPool* pool) {
    if (mesh == nullptr) return D3DERR_INVALIDCALL;
    return WalkMeshFans(mesh, adjacency, pointReps, pool, &walked);
}

}  // namespace facet
