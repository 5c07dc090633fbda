// Mesh::AdjacencyFromPointReps: for each edge of each face, the face across it, found by
// matching directed edges between point representatives (or vertex indices).
//
// Each visited face's three keys are looked up once and kept. Every face with three
// different keys records its three directed edges in a table with one bucket per key,
// chosen by the edge's start key; a bucket holds its records together, newest first, so
// that among several faces on one edge the newest recorded wins a tie (the order among
// the records of one start key is all the tie rule looks at). Faces are then matched in
// visiting order: an edge a→b pairs with a recorded b→a of another face, and both records
// leave the table (their adjacency entries are written). An edge shared by more than two
// faces pairs with the face whose unit normal is closest to the current face's. Memory:
// 12 bytes of keys per face, 8 bytes per directed edge (its end key and face-edge number,
// side by side for the bucket scan) and 4 bytes per bucket.
#include "facet/math.h"
#include "geometry/face_order.h"
#include "geometry/mesh_object.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace facet {

namespace {

// A recorded edge; its start key is the bucket it sits in.
struct EdgeRecord {
    DWORD end;
    DWORD faceEdge;
};

// The adjacency array is addressed by 32-bit face-edge numbers.
constexpr std::uint64_t kMaxFaces = 0xFFFFFFFFull / 3;

template <typename Index>
class AdjacencyMatcher {
public:
    AdjacencyMatcher(const Index* indices, const BYTE* vertices, DWORD stride, DWORD vertexCount,
                     const DWORD* pointReps, const FaceOrder& order)
        : indices_(indices), vertices_(vertices), stride_(stride), vertexCount_(vertexCount),
          pointReps_(pointReps), order_(order) {}

    // Looks up every visited face's keys. D3DERR_INVALIDCALL unless every group lies
    // within the faces and every visited face's corners and their representatives are
    // below the vertex count; E_OUTOFMEMORY when the keys cannot be kept.
    HRESULT ReadKeys() {
        if (!order_.IsWithinFaces()) return D3DERR_INVALIDCALL;
        if (order_.faceCount > kMaxFaces) return E_OUTOFMEMORY;
        faceKeys_.reset(new (std::nothrow) Keys[order_.faceCount]);
        if (faceKeys_ == nullptr) return E_OUTOFMEMORY;
        const bool valid = order_.ForEach([&](DWORD face) {
            if (IsSkipped(face)) return true;
            for (DWORD corner = 0; corner < 3; ++corner) {
                const DWORD index = indices_[3 * face + corner];
                if (index >= vertexCount_) return false;
                const DWORD key = pointReps_ != nullptr ? pointReps_[index] : index;
                if (key >= vertexCount_) return false;
                faceKeys_[face].key[corner] = key;
            }
            return true;
        });
        return valid ? D3D_OK : D3DERR_INVALIDCALL;
    }

    HRESULT Match(DWORD* adjacency) {
        const HRESULT result = RecordEdges();
        if (FAILED(result)) return result;
        std::fill(adjacency, adjacency + std::size_t{3} * order_.faceCount, NoNeighbour);
        ForEachRecordedEdge([&](DWORD face, const Keys& keys, DWORD edge) {
            if (adjacency[3 * face + edge] == NoNeighbour) MatchEdge(face, keys, edge, adjacency);
        });
        return D3D_OK;
    }

private:
    struct Keys {
        DWORD key[3];
        bool AreDistinct() const { return key[0] != key[1] && key[1] != key[2] && key[0] != key[2]; }
    };

    bool IsSkipped(DWORD face) const { return indices_[3 * face] == MeshObject<Index>::kEmptyIndex; }

    const Keys& KeysOf(DWORD face) const { return faceKeys_[face]; }

    // Lays the records out bucket by bucket, newest first within a bucket: each bucket's
    // bound starts at its end and moves down to its start as the bucket is filled. The
    // records number at most three per face, so 32-bit bounds hold them.
    HRESULT RecordEdges() {
        const std::size_t buckets = vertexCount_;
        bucketStart_.reset(new (std::nothrow) DWORD[buckets + 1]);
        if (bucketStart_ == nullptr) return E_OUTOFMEMORY;
        std::fill(bucketStart_.get(), bucketStart_.get() + buckets + 1, DWORD{0});
        ForEachRecordedEdge([&](DWORD, const Keys& keys, DWORD edge) { ++bucketStart_[keys.key[edge]]; });
        for (std::size_t bucket = 1; bucket < buckets; ++bucket) bucketStart_[bucket] += bucketStart_[bucket - 1];
        bucketStart_[buckets] = bucketStart_[buckets - 1];

        records_.reset(new (std::nothrow) EdgeRecord[bucketStart_[buckets]]);
        if (records_ == nullptr) return E_OUTOFMEMORY;
        ForEachRecordedEdge([&](DWORD face, const Keys& keys, DWORD edge) {
            records_[--bucketStart_[keys.key[edge]]] = {keys.key[(edge + 1) % 3], 3 * face + edge};
        });
        return D3D_OK;
    }

    // Calls visit(face, keys, edge) for the three edges of every visited face with three
    // different keys, in visiting order.
    template <typename Visit>
    void ForEachRecordedEdge(Visit&& visit) const {
        order_.ForEach([&](DWORD face) {
            if (IsSkipped(face)) return true;
            const Keys keys = KeysOf(face);
            if (!keys.AreDistinct()) return true;
            for (DWORD edge = 0; edge < 3; ++edge) visit(face, keys, edge);
            return true;
        });
    }

    // A record leaves the table when its edge is matched, which is exactly when its
    // adjacency entry is written.
    void MatchEdge(DWORD face, const Keys& keys, DWORD edge, DWORD* adjacency) const {
        const DWORD from = keys.key[edge];
        const DWORD to = keys.key[(edge + 1) % 3];
        constexpr DWORD kNone = NoNeighbour;
        DWORD chosen = kNone;  // the chosen record's face-edge number
        bool normalsCompared = false;
        float chosenDot = 0.0f;
        Vector3 faceNormal;
        for (DWORD slot = bucketStart_[to]; slot < bucketStart_[to + 1]; ++slot) {
            if (records_[slot].end != from) continue;
            const DWORD faceEdge = records_[slot].faceEdge;
            if (faceEdge / 3 == face || adjacency[faceEdge] != NoNeighbour) continue;
            if (chosen == kNone) {
                chosen = faceEdge;
                continue;
            }
            // A third face on this edge: compare unit normals, computed only now since
            // such edges are rare.
            if (!normalsCompared) {
                faceNormal = UnitNormal(keys);
                chosenDot = Dot(faceNormal, UnitNormal(KeysOf(chosen / 3)));
                normalsCompared = true;
            }
            const float dot = Dot(faceNormal, UnitNormal(KeysOf(faceEdge / 3)));
            if (dot > chosenDot) {
                chosen = faceEdge;
                chosenDot = dot;
            }
        }
        if (chosen == kNone) return;
        adjacency[3 * face + edge] = chosen / 3;
        adjacency[chosen] = face;
    }

    // The first three floats of a vertex; a vertex narrower than that reads as zeros
    // beyond its end.
    Vector3 PositionOf(DWORD vertex) const {
        float position[3] = {0.0f, 0.0f, 0.0f};
        std::memcpy(position, vertices_ + std::size_t{vertex} * stride_, std::min<DWORD>(stride_, sizeof position));
        return {position[0], position[1], position[2]};
    }

    Vector3 UnitNormal(const Keys& keys) const {
        const Vector3 p0 = PositionOf(keys.key[0]);
        const Vector3 a = p0 - PositionOf(keys.key[1]);
        const Vector3 b = p0 - PositionOf(keys.key[2]);
        Vector3 normal(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
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
    std::unique_ptr<Keys[]> faceKeys_;
    std::unique_ptr<DWORD[]> bucketStart_;
    std::unique_ptr<EdgeRecord[]> records_;
};

}  // namespace

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
    AdjacencyMatcher<Index> matcher(static_cast<const Index*>(indices), static_cast<const BYTE*>(vertices),
                                    vertexStride_, vertexCount_, pointReps,
                                    FaceOrder{groupTable_.get(), groupCount_, faceCount_});
    result = matcher.ReadKeys();
    if (SUCCEEDED(result)) result = matcher.Match(adjacency);
    UnlockVertices();
    UnlockIndices();
    return result;
}

template HRESULT MeshObject<WORD>::AdjacencyFromPointReps(const DWORD*, DWORD*);
template HRESULT MeshObject<DWORD>::AdjacencyFromPointReps(const DWORD*, DWORD*);

}  // namespace facet
