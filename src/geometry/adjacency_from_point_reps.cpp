// Mesh::AdjacencyFromPointReps: for each edge of each face, the face across it, found by
// matching directed edges between point representatives (or vertex indices).
//
// The visited faces' keys are first read and checked, and their edge records counted; on
// a mesh small enough for its edge records to be gathered at once they are kept,
// otherwise looked up again whenever the edges are handed to the grouping. Every face with three different keys contributes its
// three directed edges, in visiting order, to the directed edge groups
// (geometry/directed_edge_groups.h), which bring each undirected edge's records together, still in visiting order. Matching an edge a→b with a b→a of another
// face writes only the two records' own entries, so groups are independent and each is
// matched on its own, exactly as a single pass in visiting order over one table would:
// an unmatched record pairs with the newest recorded unmatched edge that runs the other
// way, or, when there are several (an edge of more than two faces), with the one whose
// face's unit normal is closest to its own, the newest winning a tie. The common group,
// two faces meeting with opposite windings, is paired at once.
//
// With a thread pool and no group table, the keys are read, and the edges recorded, by
// consecutive ranges of faces on every thread, and the groups are matched by runs of whole
// lower keys on every thread: each entry is still written by the one group that owns it,
// in the same order, so the result is the same for any number of threads.
//
// Memory: the edge groups' own, held to one record a face on large meshes (the result
// itself takes three words a face), so the groups are gathered in about three ranges of
// lower keys, each from a pass over the faces.
#include "facet/math.h"
#include "facet/thread_pool.h"
#include "facet/weld.h"
#include "geometry/directed_edge_groups.h"
#include "geometry/face_order.h"
#include "geometry/mesh_object.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace facet {

namespace {

template <typename Index>
class AdjacencyMatcher {
public:
    AdjacencyMatcher(const Index* indices, const BYTE* vertices, DWORD stride, DWORD vertexCount,
                     const DWORD* pointReps, const FaceOrder& order, ThreadPool* pool)
        : indices_(indices), vertices_(vertices), stride_(stride), vertexCount_(vertexCount),
          pointReps_(pointReps), order_(order), pool_(pool),
          faceParts_(order.groupCount == 0 ? PartsFor(pool, order.faceCount) : 1) {}

    // Reads, checks and keeps every visited face's keys, and counts the edge records they
    // give. D3DERR_INVALIDCALL unless every group
    // lies within the faces and every visited face's corners and their representatives are
    // below the vertex count; E_OUTOFMEMORY for more faces than the edge grouping can
    // number, or when the keys or the counts cannot be kept.
    HRESULT ReadKeys() {
        if (!order_.IsWithinFaces()) return D3DERR_INVALIDCALL;
        if (order_.faceCount > kMaxEdgeGroupFaces) return E_OUTOFMEMORY;
        if (pointReps_ != nullptr && !keptKeys_.Allocate(order_.faceCount)) return E_OUTOFMEMORY;
        if (!edges_.StartCounting(keyBits_, pool_, faceParts_)) return E_OUTOFMEMORY;
        const auto readFace = [&](std::size_t part, DWORD face) {
            PrefetchAhead(face);
            if (IsSkipped(face)) return true;
            FaceKeys keys;
            for (DWORD corner = 0; corner < 3; ++corner) {
                const DWORD index = indices_[3 * face + corner];
                if (index >= vertexCount_) return false;
                keys.key[corner] = pointReps_ != nullptr ? pointReps_[index] : index;
                if (keys.key[corner] >= vertexCount_) return false;
            }
            if (pointReps_ != nullptr) keptKeys_[face] = keys;
            if (keys.AreDistinct()) edges_.CountFace(part, keys);
            return true;
        };
        if (faceParts_ == 1)
            return order_.ForEach([&](DWORD face) { return readFace(0, face); }) ? D3D_OK : D3DERR_INVALIDCALL;
        std::vector<char> partValid(faceParts_, 1);
        RunParts(pool_, faceParts_, [&](std::size_t part) {
            for (DWORD face = FacePartStart(part), end = FacePartStart(part + 1); face < end; ++face)
                if (!readFace(part, face)) {
                    partValid[part] = 0;
                    return;
                }
        });
        const bool valid = std::all_of(partValid.begin(), partValid.end(), [](char v) { return v != 0; });
        return valid ? D3D_OK : D3DERR_INVALIDCALL;
    }

    HRESULT Match(DWORD* adjacency) {
        const std::size_t entries = std::size_t{3} * order_.faceCount;
        const std::size_t fillParts = PartsFor(pool_, entries);
        RunParts(pool_, fillParts, [&](std::size_t part) {
            const auto [first, last] = ItemsOfPart(entries, fillParts, part);
            std::fill(adjacency + first, adjacency + last, NoNeighbour);
        });
        return edges_.Gather(
            MostEdgeRecordsKept(order_.faceCount),
            [&](std::size_t part, auto&& emit) { ForEachFace(part, emit); },
            [&] {
                const std::vector<std::size_t> bounds = edges_.PartBounds(PartsFor(pool_, edges_.Size()));
                RunParts(pool_, bounds.size() - 1,
                         [&](std::size_t part) { MatchRecords(bounds[part], bounds[part + 1], adjacency); });
            });
    }

private:
    bool IsSkipped(DWORD face) const { return indices_[3 * face] == MeshObject<Index>::kEmptyIndex; }

    // The keys of a face that ReadKeys found valid.
    FaceKeys KeysOf(DWORD face) const {
        if (pointReps_ != nullptr) return keptKeys_[face];
        const Index* corner = indices_ + std::size_t{3} * face;
        return {{corner[0], corner[1], corner[2]}};
    }

    // The representatives of a face some way ahead are fetched now: on a mesh in no
    // particular vertex order each is a cache miss, and fetched one at a time they would
    // follow one another. Always inlined: the compiler finds that a function doing
    // nothing but prefetches has no effect and drops the calls to it.
    [[gnu::always_inline]] void PrefetchAhead(DWORD face) const {
        if (pointReps_ == nullptr || face + kPrefetchFaces >= order_.faceCount) return;
        for (DWORD corner = 0; corner < 3; ++corner)
            if (const DWORD ahead = indices_[3 * (face + kPrefetchFaces) + corner]; ahead < vertexCount_)
                __builtin_prefetch(&pointReps_[ahead]);
    }

    // A division of 128-bit numbers: computed once per part, not per face.
    DWORD FacePartStart(std::size_t part) const {
        return static_cast<DWORD>(PartStart(order_.faceCount, faceParts_, part));
    }

    // A face's keys, when it gives edges: it is not skipped and its keys are three
    // different ones. Always inlined into the passes over the faces, which otherwise call
    // it once a face.
    [[gnu::always_inline]] void RecordFace(DWORD face, auto&& visit) const {
        if (IsSkipped(face)) return;
        const FaceKeys keys = KeysOf(face);
        if (keys.AreDistinct()) visit(face, keys);
    }

    // The faces that give edges of part `part` of the visiting order: with one part, every
    // face in group order; with several (no group table), a range of faces each.
    template <typename Visit>
    void ForEachFace(std::size_t part, Visit&& visit) const {
        if (faceParts_ == 1) {
            order_.ForEach([&](DWORD face) {
                RecordFace(face, visit);
                return true;
            });
            return;
        }
        for (DWORD face = FacePartStart(part), end = FacePartStart(part + 1); face < end; ++face) RecordFace(face, visit);
    }

    // Matches the groups of the records [first, last). The records are in key order, so
    // the entries they write are scattered over the whole result; each is fetched for
    // writing some records ahead, so that the misses overlap.
    void MatchRecords(std::size_t first, std::size_t last, DWORD* adjacency) {
        std::size_t prefetched = first;
        edges_.ForEachGroupIn(
            first, last,
            [&](std::size_t runStart) {
                for (const std::size_t ahead = std::min(runStart + kPrefetchRecords, last); prefetched < ahead;
                     ++prefetched)
                    __builtin_prefetch(&adjacency[edges_[prefetched].FaceEdge()], 1);
            },
            [&](std::size_t start, std::size_t end) {
                const EdgeRecord& firstRecord = edges_[start];
                const EdgeRecord& lastRecord = edges_[end - 1];
                if (end - start == 2 && firstRecord.RunsUp() != lastRecord.RunsUp() &&
                    firstRecord.Face() != lastRecord.Face()) {
                    adjacency[firstRecord.FaceEdge()] = lastRecord.Face();
                    adjacency[lastRecord.FaceEdge()] = firstRecord.Face();
                } else {
                    MatchGroup(start, end, adjacency);
                }
            });
    }

    // Matches the records [start, end) of one undirected edge in visiting order, as the
    // single pass would: for each record not matched yet, the candidates are the unmatched
    // records of other faces running the other way, taken newest first.
    void MatchGroup(std::size_t start, std::size_t end, DWORD* adjacency) const {
        for (std::size_t r = start; r < end; ++r) {
            const EdgeRecord& record = edges_[r];
            if (adjacency[record.FaceEdge()] != NoNeighbour) continue;
            const DWORD face = record.FaceEdge() / 3;
            DWORD chosen = NoNeighbour;  // the chosen record's face-edge number
            bool normalsCompared = false;
            float chosenDot = 0.0f;
            Vector3 faceNormal;
            for (std::size_t c = end; c-- > start;) {
                const EdgeRecord& candidate = edges_[c];
                if (candidate.RunsUp() == record.RunsUp() || candidate.FaceEdge() / 3 == face ||
                    adjacency[candidate.FaceEdge()] != NoNeighbour)
                    continue;
                if (chosen == NoNeighbour) {
                    chosen = candidate.FaceEdge();
                    continue;
                }
                // A third face on this edge: compare unit normals, computed only now since
                // such edges are rare.
                if (!normalsCompared) {
                    faceNormal = UnitNormal(KeysOf(face));
                    chosenDot = Dot(faceNormal, UnitNormal(KeysOf(chosen / 3)));
                    normalsCompared = true;
                }
                const float dot = Dot(faceNormal, UnitNormal(KeysOf(candidate.FaceEdge() / 3)));
                if (dot > chosenDot) {
                    chosen = candidate.FaceEdge();
                    chosenDot = dot;
                }
            }
            if (chosen == NoNeighbour) continue;
            adjacency[record.FaceEdge()] = chosen / 3;
            adjacency[chosen] = face;
        }
    }

    // The first three floats of a vertex; a vertex narrower than that reads as zeros
    // beyond its end.
    Vector3 PositionOf(DWORD vertex) const {
        float position[3] = {0.0f, 0.0f, 0.0f};
        std::memcpy(position, vertices_ + std::size_t{vertex} * stride_, std::min<DWORD>(stride_, sizeof position));
        return {position[0], position[1], position[2]};
    }

    Vector3 UnitNormal(const FaceKeys& keys) const {
        const Vector3 p0 = PositionOf(keys.key[0]);
        const Vector3 a = p0 - PositionOf(keys.key[1]);
        const Vector3 b = p0 - PositionOf(keys.key[2]);
        Vector3 normal = Cross(a, b);
        Vec3Normalize(&normal, &normal);
        return normal;
    }

    static float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

    const Index* indices_;
    const BYTE* vertices_;
    DWORD stride_;
    DWORD vertexCount_;
    const DWORD* pointReps_;
    FaceOrder order_;
    ThreadPool* pool_;
    std::size_t faceParts_;
    // Keys are below the vertex count, so this many bits hold each of them.
    unsigned keyBits_ = KeyBitsBelow(vertexCount_);
    // The faces' keys through the representatives, 12 bytes a face, kept for the passes
    // that gather the records: looked up again on each pass, they would cost a cache miss a
    // corner each time on a mesh in no particular vertex order (half again the time of the
    // whole adjacency at 20 M faces), for a fifth less memory. Without representatives the
    // keys are the indices themselves, read in order, and nothing is kept.
    WorkArray<FaceKeys> keptKeys_;
    DirectedEdgeGroups edges_;
    static constexpr std::size_t kPrefetchRecords = 64;
    static constexpr std::size_t kPrefetchFaces = 16;
};

}  // namespace

template <typename Index>
HRESULT MatchAdjacency(const void* indices, const void* vertices, DWORD stride, DWORD vertexCount,
                       const DWORD* pointReps, const FaceOrder& order, DWORD* adjacency, ThreadPool* pool) {
    AdjacencyMatcher<Index> matcher(static_cast<const Index*>(indices), static_cast<const BYTE*>(vertices), stride,
                                    vertexCount, pointReps, order, pool);
    HRESULT result = matcher.ReadKeys();
    if (SUCCEEDED(result)) result = matcher.Match(adjacency);
    return result;
}

template <typename Index>
HRESULT MeshObject<Index>::AdjacencyFromPointReps(const DWORD* pointReps, DWORD* adjacency) {
    if (adjacency == nullptr || (options_ & MeshOptions::IndexWriteOnly) != 0) return D3DERR_INVALIDCALL;
    void* indices = nullptr;
    HRESULT result = LockIndices(D3DLOCK_READONLY, &indices);
    if (FAILED(result)) return result;
    void* vertices = nullptr;
    result = LockVertices(D3DLOCK_READONLY, &vertices);
    if (FAILED(result)) {
        UnlockIndices();
        return result;
    }
    result = MatchAdjacency<Index>(indices, vertices, vertexStride_, vertexCount_, pointReps,
                                   FaceOrder{groupTable_.get(), groupCount_, faceCount_}, adjacency, nullptr);
    UnlockVertices();
    UnlockIndices();
    return result;
}

template HRESULT MeshObject<WORD>::AdjacencyFromPointReps(const DWORD*, DWORD*);
template HRESULT MeshObject<DWORD>::AdjacencyFromPointReps(const DWORD*, DWORD*);

HRESULT AdjacencyFromPointReps(Mesh* mesh, const DWORD* pointReps, DWORD* adjacency, ThreadPool* pool) {
    if (mesh == nullptr) return D3DERR_INVALIDCALL;
    if (pool == nullptr || pool->Size() == 1) return mesh->AdjacencyFromPointReps(pointReps, adjacency);
    if (adjacency == nullptr || (mesh->Options() & MeshOptions::IndexWriteOnly) != 0) return D3DERR_INVALIDCALL;
    std::vector<GroupEntry> groups;
    HRESULT result = CopyGroups(mesh, &groups);
    if (FAILED(result)) return result;
    void* indices = nullptr;
    result = mesh->LockIndices(D3DLOCK_READONLY, &indices);
    if (FAILED(result)) return result;
    void* vertices = nullptr;
    result = mesh->LockVertices(D3DLOCK_READONLY, &vertices);
    if (FAILED(result)) {
        mesh->UnlockIndices();
        return result;
    }
    const FaceOrder order{groups.data(), static_cast<DWORD>(groups.size()), mesh->FaceCount()};
    const bool indices32 = (mesh->Options() & MeshOptions::Indices32Bit) != 0;
    result = indices32 ? MatchAdjacency<DWORD>(indices, vertices, mesh->VertexStride(), mesh->VertexCount(), pointReps,
                                               order, adjacency, pool)
                       : MatchAdjacency<WORD>(indices, vertices, mesh->VertexStride(), mesh->VertexCount(), pointReps,
                                              order, adjacency, pool);
    mesh->UnlockVertices();
    mesh->UnlockIndices();
    return result;
}

}  // namespace facet
