// DirectedEdgeGroups: the directed edges of a mesh's faces, between keys (point
// representatives or vertex indices), brought together by undirected edge, each group
// still in the order the edges were given. The adjacency and the mesh statistics both
// read their edges through it.
//
// A stable radix sort on the lower key, then a small stable sort of each lower key's
// records on the higher key. Only the first step of the sort, which scatters the records
// into buckets by the leading bits of the lower key, reaches memory beyond the caches;
// each bucket is then sorted while it sits in the cache, and each lower key's records are
// grouped by the higher key just before they are visited. So the time per edge changes
// little from small meshes to ones far larger than the caches. Memory: 12 bytes per
// directed edge, and one bucket's records again while it is sorted.
#pragma once

#include "facet/mesh.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace facet {

// A directed edge: its undirected key as two halves (lower key, higher key) and its
// face-edge number (3·face + edge), whose top bit is set when the edge runs from the
// lower key to the higher. Twelve bytes, so the sort moves as little as it can.
struct EdgeRecord {
    DWORD low;
    DWORD high;
    DWORD faceEdgeAndDirection;

    static EdgeRecord Directed(DWORD from, DWORD to, DWORD faceEdge) {
        return {std::min(from, to), std::max(from, to), faceEdge | (from < to ? kRunsUp : 0)};
    }
    DWORD FaceEdge() const { return faceEdgeAndDirection & ~kRunsUp; }
    DWORD Face() const { return FaceEdge() / 3; }
    bool RunsUp() const { return (faceEdgeAndDirection & kRunsUp) != 0; }
    static constexpr DWORD kRunsUp = 0x80000000;
};
static_assert(sizeof(EdgeRecord) == 12, "an edge record is three 32-bit words");

// Face-edge numbers leave the top bit free for the direction; a mesh with more faces
// than that would need tens of gigabytes and is refused as out of memory.
constexpr std::uint64_t kMaxEdgeGroupFaces = 0x7FFFFFFFull / 3;

// The lower key split into a leading digit, by which the records are scattered into
// buckets, and a trailing digit of at most kTrailingBits, by which each bucket is then
// sorted while it sits in the cache.
class LowKeyDigits {
public:
    explicit LowKeyDigits(unsigned keyBits = 0)
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

class DirectedEdgeGroups {
public:
    // Records the edges `forEachEdge(emit)` hands to emit(EdgeRecord), every key below
    // 2^keyBits. It is called twice (counting, then scattering) and must give the same
    // records in the same order both times. E_OUTOFMEMORY when the records cannot be kept.
    template <typename ForEachEdge>
    HRESULT Record(unsigned keyBits, ForEachEdge&& forEachEdge) {
        digits_ = LowKeyDigits(keyBits);
        if (!StartCounting()) return E_OUTOFMEMORY;
        forEachEdge([&](const EdgeRecord& record) { ++bucketStart_[digits_.Leading(record.low) + 1]; });
        if (!StartScattering()) return E_OUTOFMEMORY;
        forEachEdge([&](const EdgeRecord& record) { records_[next_[digits_.Leading(record.low)]++] = record; });
        SortBuckets();
        return D3D_OK;
    }

    std::size_t Size() const { return recordCount_; }
    const EdgeRecord& operator[](std::size_t i) const { return records_[i]; }

    // Visits the undirected edges in key order: startKey(first) once before the records
    // of each lower key, from record `first` on, are grouped, then visitGroup(start, end)
    // for each undirected edge, its records [start, end) in the order they were given.
    template <typename StartKey, typename VisitGroup>
    void ForEachGroup(StartKey&& startKey, VisitGroup&& visitGroup) {
        for (std::size_t runStart = 0; runStart < recordCount_;) {
            startKey(runStart);
            std::size_t runEnd = runStart + 1;
            while (runEnd < recordCount_ && records_[runEnd].low == records_[runStart].low) ++runEnd;
            GroupByHigherKey(runStart, runEnd);
            for (std::size_t start = runStart; start < runEnd;) {
                std::size_t end = start + 1;
                while (end < runEnd && records_[end].high == records_[start].high) ++end;
                visitGroup(start, end);
                start = end;
            }
            runStart = runEnd;
        }
    }

    template <typename VisitGroup>
    void ForEachGroup(VisitGroup&& visitGroup) {
        ForEachGroup([](std::size_t) {}, visitGroup);
    }

private:
    bool StartCounting();
    bool StartScattering();
    void SortBuckets();
    void SortBucket(EdgeRecord* records, std::size_t count);
    void GroupByHigherKey(std::size_t start, std::size_t end);

    LowKeyDigits digits_;
    std::unique_ptr<std::size_t[]> bucketStart_;  // bucket b's records start at bucketStart_[b]
    std::unique_ptr<std::size_t[]> next_;         // where the scatter puts each bucket's next record
    std::unique_ptr<DWORD[]> trailingStart_;
    WorkArray<EdgeRecord> records_;
    WorkArray<EdgeRecord> scratch_;  // one bucket's records while it is sorted
    std::size_t recordCount_ = 0;
};

}  // namespace facet
