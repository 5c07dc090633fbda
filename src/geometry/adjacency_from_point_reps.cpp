// Mesh::AdjacencyFromPointReps: for each edge of each face, the face across it, found by
// matching directed edges between point representatives (or vertex indices).
//
// Each visited face's three keys are looked up once and kept. Every face with three
// different keys contributes its three directed edges as records, in visiting order; a
// stable radix sort groups them by undirected edge, each group still in visiting order.
// Matching an edge a→b with a b→a of another face writes only the two records' own
// entries, so groups are independent and each is matched on its own, exactly as a single
// pass in visiting order over one table would: an unmatched record pairs with the newest
// recorded unmatched edge that runs the other way, or, when there are several (an edge
// of more than two faces), with the one whose face's unit normal is closest to its own,
// the newest winning a tie. The common group, two faces meeting with opposite windings,
// is paired at once.
//
// The sort and the group scan read and write memory in order, so the time per face stays
// nearly the same from small meshes to ones far larger than the caches. Memory: 12 bytes
// of keys per face and, during the sort, two arrays of 12 bytes per directed edge.
#include "facet/math.h"
#include "geometry/face_order.h"
#include "geometry/mesh_object.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace facet {

namespace {

// A directed edge: its undirected key as two halves (lower key, higher key) and its
// face-edge number (3·face + edge), whose top bit is set when the edge runs from the
// lower key to the higher. Twelve bytes, so the sort moves as little as it can.
struct EdgeRecord {
    DWORD low;
    DWORD high;
    DWORD faceEdgeAndDirection;

    DWORD FaceEdge() const { return faceEdgeAndDirection & ~kRunsUp; }
    bool RunsUp() const { return (faceEdgeAndDirection & kRunsUp) != 0; }
    bool SameEdge(const EdgeRecord& other) const { return low == other.low && high == other.high; }
    static constexpr DWORD kRunsUp = 0x80000000;
};
static_assert(sizeof(EdgeRecord) == 12, "an edge record is three 32-bit words");

// Face-edge numbers leave the top bit free for the direction; a mesh with more faces
// than that would need tens of gigabytes and is refused as out of memory.
constexpr std::uint64_t kMaxFaces = 0x7FFFFFFFull / 3;
constexpr unsigned kDigitBits = 11;
constexpr DWORD kDigitValues = DWORD{1} << kDigitBits;

// Sorts `count` records by (low, high), keeping the order of equal keys, through
// `scratch`; each half is below 2^keyBits. The histograms of every digit are taken in one
// read pass. The result ends in `records`.
bool SortByKey(EdgeRecord* records, EdgeRecord* scratch, std::size_t count, unsigned keyBits) {
    const unsigned passesPerHalf = (keyBits + kDigitBits - 1) / kDigitBits;
    const unsigned passes = 2 * passesPerHalf;
    // The digit of pass p: the high half's digits first (least significant), then the low half's.
    const auto digit = [passesPerHalf](const EdgeRecord& record, unsigned pass) {
        const DWORD half = pass < passesPerHalf ? record.high : record.low;
        return (half >> (kDigitBits * (pass % passesPerHalf))) & (kDigitValues - 1);
    };
    std::unique_ptr<std::size_t[]> start(new (std::nothrow) std::size_t[std::size_t{passes} * kDigitValues]());
    if (start == nullptr) return false;
    for (std::size_t i = 0; i < count; ++i)
        for (unsigned pass = 0; pass < passes; ++pass) ++start[pass * kDigitValues + digit(records[i], pass)];
    for (unsigned pass = 0; pass < passes; ++pass) {
        std::size_t* bound = &start[pass * kDigitValues];
        std::size_t total = 0;
        for (DWORD value = 0; value < kDigitValues; ++value) total += std::exchange(bound[value], total);
        for (std::size_t i = 0; i < count; ++i) scratch[bound[digit(records[i], pass)]++] = records[i];
        std::swap(records, scratch);
    }
    // An even number of passes: the sorted records are back in the caller's first array.
    return true;
}

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
        if (!faceKeys_.Allocate(order_.faceCount)) return E_OUTOFMEMORY;
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
        for (std::size_t start = 0; start < recordCount_;) {
            std::size_t end = start + 1;
            while (end < recordCount_ && records_[end].SameEdge(records_[start])) ++end;
            const EdgeRecord& first = records_[start];
            const EdgeRecord& last = records_[end - 1];
            if (end - start == 2 && first.RunsUp() != last.RunsUp() && first.FaceEdge() / 3 != last.FaceEdge() / 3) {
                adjacency[first.FaceEdge()] = last.FaceEdge() / 3;
                adjacency[last.FaceEdge()] = first.FaceEdge() / 3;
            } else {
                MatchGroup(start, end, adjacency);
            }
            start = end;
        }
        return D3D_OK;
    }

private:
    struct Keys {
        DWORD key[3];
        bool AreDistinct() const { return key[0] != key[1] && key[1] != key[2] && key[0] != key[2]; }
    };

    bool IsSkipped(DWORD face) const { return indices_[3 * face] == MeshObject<Index>::kEmptyIndex; }

    HRESULT RecordEdges() {
        std::size_t count = 0;
        order_.ForEach([&](DWORD face) {
            if (!IsSkipped(face) && faceKeys_[face].AreDistinct()) count += 3;
            return true;
        });
        WorkArray<EdgeRecord> scratch;
        if (!records_.Allocate(count) || !scratch.Allocate(count)) return E_OUTOFMEMORY;
        recordCount_ = 0;
        order_.ForEach([&](DWORD face) {
            if (IsSkipped(face) || !faceKeys_[face].AreDistinct()) return true;
            const Keys& keys = faceKeys_[face];
            for (DWORD edge = 0; edge < 3; ++edge) {
                const DWORD from = keys.key[edge], to = keys.key[(edge + 1) % 3];
                records_[recordCount_++] = {std::min(from, to), std::max(from, to),
                                            (3 * face + edge) | (from < to ? EdgeRecord::kRunsUp : 0)};
            }
            return true;
        });
        return SortByKey(records_.get(), scratch.get(), recordCount_, keyBits_) ? D3D_OK : E_OUTOFMEMORY;
    }

    // Matches the records [start, end) of one undirected edge in visiting order, as the
    // single pass would: for each record not matched yet, the candidates are the unmatched
    // records of other faces running the other way, taken newest first.
    void MatchGroup(std::size_t start, std::size_t end, DWORD* adjacency) const {
        for (std::size_t r = start; r < end; ++r) {
            const EdgeRecord& record = records_[r];
            if (adjacency[record.FaceEdge()] != NoNeighbour) continue;
            const DWORD face = record.FaceEdge() / 3;
            DWORD chosen = NoNeighbour;  // the chosen record's face-edge number
            bool normalsCompared = false;
            float chosenDot = 0.0f;
            Vector3 faceNormal;
            for (std::size_t c = end; c-- > start;) {
                const EdgeRecord& candidate = records_[c];
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
                    faceNormal = UnitNormal(faceKeys_[face]);
                    chosenDot = Dot(faceNormal, UnitNormal(faceKeys_[chosen / 3]));
                    normalsCompared = true;
                }
                const float dot = Dot(faceNormal, UnitNormal(faceKeys_[candidate.FaceEdge() / 3]));
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

    Vector3 UnitNormal(const Keys& keys) const {
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
    // Keys are below the vertex count, so this many bits hold each of them.
    unsigned keyBits_ = static_cast<unsigned>(std::bit_width(vertexCount_ - 1));
    WorkArray<Keys> faceKeys_;
    WorkArray<EdgeRecord> records_;
    std::size_t recordCount_ = 0;
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
