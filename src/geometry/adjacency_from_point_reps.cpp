// Mesh::AdjacencyFromPointReps: for each edge of each face, the face across it, found by
// matching directed edges between point representatives (or vertex indices).
//
// Each visited face's three keys are looked up once and kept. Every face with three
// different keys contributes its three directed edges as records, in visiting order; a
// stable radix sort on the lower key, then a small stable sort of each lower key's records
// on the higher key, groups them by undirected edge, each group still in visiting order.
// Matching an edge a→b with a b→a of another face writes only the two records' own
// entries, so groups are independent and each is matched on its own, exactly as a single
// pass in visiting order over one table would: an unmatched record pairs with the newest
// recorded unmatched edge that runs the other way, or, when there are several (an edge
// of more than two faces), with the one whose face's unit normal is closest to its own,
// the newest winning a tie. The common group, two faces meeting with opposite windings,
// is paired at once.
//
// Only the first step of the sort, which scatters the records into buckets by the leading
// bits of the lower key, and the writes of the result reach memory beyond the caches; each
// bucket is then sorted while it sits in the cache. So the time per face changes little
// from small meshes to ones far larger than the caches. Memory: 12 bytes of keys per face,
// 12 bytes per directed edge, and one bucket's records again while it is sorted.
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
    static constexpr DWORD kRunsUp = 0x80000000;
};
static_assert(sizeof(EdgeRecord) == 12, "an edge record is three 32-bit words");

// Face-edge numbers leave the top bit free for the direction; a mesh with more faces
// than that would need tens of gigabytes and is refused as out of memory.
constexpr std::uint64_t kMaxFaces = 0x7FFFFFFFull / 3;

// The lower key split into a leading digit, by which the records are scattered into
// buckets straight from the faces, and a trailing digit of at most kTrailingBits, by which
// each bucket is then sorted while it sits in the cache. Only the scatter touches memory
// beyond the caches, once per record, whatever the mesh's size.
class LowKeyDigits {
public:
    explicit LowKeyDigits(unsigned keyBits)
        : trailingBits_(std::min(keyBits, kTrailingBits)), leadingBits_(keyBits - trailingBits_) {}

    std::size_t Buckets() const { return std::size_t{1} << leadingBits_; }
    std::size_t TrailingValues() const { return std::size_t{1} << trailingBits_; }
    std::size_t Leading(DWORD low) const { return low >> trailingBits_; }
    std::size_t Trailing(DWORD low) const { return low & (TrailingValues() - 1); }

private:
    static constexpr unsigned kTrailingBits = 12;
    unsigned trailingBits_;
    unsigned leadingBits_;
};

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
        const std::size_t lastCorner = std::size_t{3} * order_.faceCount;
        const bool valid = order_.ForEach([&](DWORD face) {
            // The representatives of a face some way ahead are fetched now: on a mesh in
            // no particular vertex order each is a cache miss, and fetched one at a time
            // they would follow one another.
            if (pointReps_ != nullptr && 3 * (face + kPrefetchFaces) < lastCorner)
                for (DWORD corner = 0; corner < 3; ++corner)
                    if (const DWORD ahead = indices_[3 * (face + kPrefetchFaces) + corner]; ahead < vertexCount_)
                        __builtin_prefetch(&pointReps_[ahead]);
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
        // The records are in key order, so the entries they write are scattered over the
        // whole result; each is fetched for writing some records ahead, so that the misses
        // overlap.
        std::size_t prefetched = 0;
        for (std::size_t runStart = 0; runStart < recordCount_;) {
            for (const std::size_t ahead = std::min(runStart + kPrefetchRecords, recordCount_); prefetched < ahead;
                 ++prefetched)
                __builtin_prefetch(&adjacency[records_[prefetched].FaceEdge()], 1);
            std::size_t runEnd = runStart + 1;
            while (runEnd < recordCount_ && records_[runEnd].low == records_[runStart].low) ++runEnd;
            GroupByHigherKey(runStart, runEnd);
            for (std::size_t start = runStart; start < runEnd;) {
                std::size_t end = start + 1;
                while (end < runEnd && records_[end].high == records_[start].high) ++end;
                const EdgeRecord& first = records_[start];
                const EdgeRecord& last = records_[end - 1];
                if (end - start == 2 && first.RunsUp() != last.RunsUp() &&
                    first.FaceEdge() / 3 != last.FaceEdge() / 3) {
                    adjacency[first.FaceEdge()] = last.FaceEdge() / 3;
                    adjacency[last.FaceEdge()] = first.FaceEdge() / 3;
                } else {
                    MatchGroup(start, end, adjacency);
                }
                start = end;
            }
            runStart = runEnd;
        }
        return D3D_OK;
    }

private:
    struct Keys {
        DWORD key[3];
        bool AreDistinct() const { return key[0] != key[1] && key[1] != key[2] && key[0] != key[2]; }
    };

    bool IsSkipped(DWORD face) const { return indices_[3 * face] == MeshObject<Index>::kEmptyIndex; }
    bool IsRecorded(DWORD face) const { return !IsSkipped(face) && faceKeys_[face].AreDistinct(); }

    template <typename Visit>
    void ForEachRecord(Visit&& visit) const {
        order_.ForEach([&](DWORD face) {
            if (!IsRecorded(face)) return true;
            const Keys& keys = faceKeys_[face];
            for (DWORD edge = 0; edge < 3; ++edge) {
                const DWORD from = keys.key[edge], to = keys.key[(edge + 1) % 3];
                visit(EdgeRecord{std::min(from, to), std::max(from, to),
                                 (3 * face + edge) | (from < to ? EdgeRecord::kRunsUp : 0)});
            }
            return true;
        });
    }

    // Leaves the records of every visited face's edges in records_, stably sorted by
    // lower key.
    HRESULT RecordEdges() {
        const LowKeyDigits digits(keyBits_);
        const std::size_t buckets = digits.Buckets();
        std::unique_ptr<std::size_t[]> bucketStart(new (std::nothrow) std::size_t[buckets + 1]());
        std::unique_ptr<DWORD[]> trailingStart(new (std::nothrow) DWORD[digits.TrailingValues()]);
        if (bucketStart == nullptr || trailingStart == nullptr) return E_OUTOFMEMORY;
        ForEachRecord([&](const EdgeRecord& record) { ++bucketStart[digits.Leading(record.low) + 1]; });
        std::size_t largestBucket = 0;
        for (std::size_t bucket = 0; bucket < buckets; ++bucket) {
            largestBucket = std::max(largestBucket, bucketStart[bucket + 1]);
            bucketStart[bucket + 1] += bucketStart[bucket];
        }
        recordCount_ = bucketStart[buckets];
        if (!records_.Allocate(recordCount_) || !scratch_.Allocate(largestBucket)) return E_OUTOFMEMORY;
        {
            std::unique_ptr<std::size_t[]> next(new (std::nothrow) std::size_t[buckets]);
            if (next == nullptr) return E_OUTOFMEMORY;
            std::copy(bucketStart.get(), bucketStart.get() + buckets, next.get());
            ForEachRecord([&](const EdgeRecord& record) { records_[next[digits.Leading(record.low)]++] = record; });
        }
        for (std::size_t bucket = 0; bucket < buckets; ++bucket)
            SortBucket(records_.get() + bucketStart[bucket], bucketStart[bucket + 1] - bucketStart[bucket], digits,
                       trailingStart.get());
        return D3D_OK;
    }

    // Stably sorts one bucket's records by the lower key's trailing digit: by insertion
    // when they are few, otherwise by counting through scratch_.
    void SortBucket(EdgeRecord* records, std::size_t count, const LowKeyDigits& digits, DWORD* trailingStart) {
        if (count <= kInsertionSortLimit) {
            InsertionSort(records, count, [](const EdgeRecord& a, const EdgeRecord& b) { return a.low < b.low; });
            return;
        }
        std::fill(trailingStart, trailingStart + digits.TrailingValues(), 0);
        for (std::size_t i = 0; i < count; ++i) ++trailingStart[digits.Trailing(records[i].low)];
        DWORD total = 0;
        for (std::size_t value = 0; value < digits.TrailingValues(); ++value)
            total += std::exchange(trailingStart[value], total);
        std::copy(records, records + count, scratch_.get());
        for (std::size_t i = 0; i < count; ++i) records[trailingStart[digits.Trailing(scratch_[i].low)]++] = scratch_[i];
    }

    template <typename Less>
    static void InsertionSort(EdgeRecord* records, std::size_t count, Less less) {
        for (std::size_t i = 1; i < count; ++i) {
            const EdgeRecord record = records[i];
            std::size_t j = i;
            for (; j > 0 && less(record, records[j - 1]); --j) records[j] = records[j - 1];
            records[j] = record;
        }
    }

    // Brings the records of one lower key that share the higher key together, each group
    // keeping visiting order. A key's records are few (twice its edges to higher keys), so
    // an insertion sort serves; a key shared by very many faces gets a merge sort instead.
    void GroupByHigherKey(std::size_t start, std::size_t end) {
        const auto byHigh = [](const EdgeRecord& a, const EdgeRecord& b) { return a.high < b.high; };
        if (end - start > kInsertionSortLimit)
            std::stable_sort(records_.get() + start, records_.get() + end, byHigh);
        else
            InsertionSort(records_.get() + start, end - start, byHigh);
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
    WorkArray<EdgeRecord> scratch_;  // one bucket's records while it is sorted
    std::size_t recordCount_ = 0;
    static constexpr std::size_t kInsertionSortLimit = 32;
    static constexpr std::size_t kPrefetchRecords = 64;
    static constexpr std::size_t kPrefetchFaces = 16;
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
