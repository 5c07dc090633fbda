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
// little from small meshes to ones far larger than the caches.
//
// Memory: 12 bytes per directed edge kept at once, and one bucket's records again while it
// is sorted (per thread). A caller short of memory caps the records kept: the edges are
// then counted per bucket first, and gathered in ranges of whole buckets, one range after
// another into the same storage, each from a further pass over the caller's edges. A
// group never spans two ranges, since its records share their lower key.
//
// When the keys are few enough for a count per key to stay in the cache (up to 2^17, a
// mesh of up to about a hundred thousand points), there is one bucket per lower key and
// no in-cache sort: the records are counted by higher key too, scattered first by the
// higher key (eight bytes each, the higher key implied by the place) and then, from that
// order, by the lower key. Both scatters are stable, so the records end sorted by lower
// key, then higher key, then the order they were given: the same order as the sorts above
// give, with no per-key sort before each key is visited. This takes 20 bytes per record
// and 16 per key and part, all kept from call to call by the thread (see work_array.h),
// so a routine called again and again on small meshes finds its storage in place. Should
// the records not fit at once, the lower-key buckets are gathered in ranges as above and
// each key's records sorted by higher key when visited.
//
// Faces are counted and handed whole, not edge by edge: a face's lowest key is the lower
// end of two of its edges, and one count of two there costs half what two counts of one
// after the other do (the second waits for the first).
//
// With a thread pool the edges are given in consecutive parts: each part counts and then
// scatters its own records, behind those of the parts before it in every bucket, so the
// records land exactly where one pass would put them; the buckets are then sorted, and
// visited, by as many threads, each on buckets of its own.
#pragma once

#include "facet/mesh.h"
#include "facet/thread_pool.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace facet {

// A directed edge: its undirected key as two halves (lower key, higher key) and its
// face-edge number (3·face + edge), whose top bit is set when the edge runs from the
// lower key to the higher. Twelve bytes, so the sort moves as little as it can.
struct EdgeRecord {
    DWORD low;
    DWORD high;
    DWORD faceEdgeAndDirection;

    static EdgeRecord Directed(DWORD from, DWORD to, DWORD faceEdge) {
        // Arithmetic rather than choices: half of all edges run each way, so a branch here
        // (which compilers emit for the three choices on one comparison) would be
        // mispredicted every other edge.
        const DWORD runsUp = static_cast<DWORD>(from < to);
        const DWORD swap = (from ^ to) & (0u - runsUp);
        return {to ^ swap, from ^ swap, faceEdge | runsUp << 31};
    }
    DWORD FaceEdge() const { return faceEdgeAndDirection & ~kRunsUp; }
    DWORD Face() const { return FaceEdge() / 3; }
    bool RunsUp() const { return (faceEdgeAndDirection & kRunsUp) != 0; }
    static constexpr DWORD kRunsUp = 0x80000000;
};
static_assert(sizeof(EdgeRecord) == 12, "an edge record is three 32-bit words");

// A face's keys, corner by corner. Its directed edges run from corner 0 to 1, 1 to 2 and 2
// to 0, each numbered 3·face + the corner it leaves; a face gives edges only when its
// three keys differ.
struct FaceKeys {
    DWORD key[3];

    bool AreDistinct() const { return key[0] != key[1] && key[1] != key[2] && key[0] != key[2]; }
    EdgeRecord Edge(DWORD face, DWORD corner) const {
        return EdgeRecord::Directed(key[corner], key[corner == 2 ? 0 : corner + 1], 3 * face + corner);
    }
};

// Face-edge numbers leave the top bit free for the direction; a mesh with more faces
// than that would need tens of gigabytes and is refused as out of memory.
constexpr std::uint64_t kMaxEdgeGroupFaces = 0x7FFFFFFFull / 3;

// How many records the mesh routines keep at once for a mesh of `faces` faces: a little over
// one a face, a third of a closed mesh's directed edges and room for the last bucket that
// closes a range (so three ranges, each a pass over the faces), but never fewer than 4 Mi
// records (48 MiB), so that meshes of up to about a million faces, whose passes cost more
// than their memory, are grouped in one range.
inline std::size_t MostEdgeRecordsKept(std::size_t faces) {
#ifdef FACET_SPLIT_SMALL_WORK
    return faces / 2 + 1;  // a build that tests a large mesh's ranges on small ones
#else
    return std::max(faces + faces / 32, std::size_t{1} << 22);
#endif
}

// The bits of a key below `keys` (a mesh's points): at least one, so that a mesh without
// vertices (one compacted to nothing) counts its edges in one bucket.
inline unsigned KeyBitsBelow(DWORD keys) { return static_cast<unsigned>(std::bit_width(std::max<DWORD>(keys, 2) - 1)); }

// The lower key split into a leading digit, by which the records are scattered into
// buckets, and a trailing digit of at most kTrailingBits, by which each bucket is then
// sorted while it sits in the cache.
class LowKeyDigits {
public:
    // A trailing digit of at most `mostTrailingBits`: none makes each bucket one key.
    explicit LowKeyDigits(unsigned keyBits = 0, unsigned mostTrailingBits = kTrailingBits)
        : trailingBits_(std::min(keyBits, mostTrailingBits)), leadingBits_(keyBits - trailingBits_) {}

    std::size_t Buckets() const { return std::size_t{1} << leadingBits_; }
    std::size_t TrailingValues() const { return std::size_t{1} << trailingBits_; }
    std::size_t Leading(DWORD low) const { return low >> trailingBits_; }
    std::size_t Trailing(DWORD low) const { return low & (TrailingValues() - 1); }
    bool BucketIsOneKey() const { return trailingBits_ == 0; }

private:
#ifdef FACET_SPLIT_SMALL_WORK
    static constexpr unsigned kTrailingBits = 2;  // a build that tests a large mesh's digits on small ones
#else
    static constexpr unsigned kTrailingBits = 12;
#endif
    unsigned trailingBits_;
    unsigned leadingBits_;
};

class DirectedEdgeGroups {
public:
    // Groups the edges of the faces of `parts` consecutive parts (run on `pool`; null: in
    // order here), every key below 2^keyBits, in three steps: StartCounting; then
    // CountFace(part, keys) for every face of every part that gives edges (each part on one
    // thread at a time), within a pass over the caller's faces that may do more; then
    // Gather, which has the faces handed again.
    bool StartCounting(unsigned keyBits, ThreadPool* pool, std::size_t parts);
    void CountFace(std::size_t part, const FaceKeys& face) {
        const DWORD a = face.key[0], b = face.key[1], c = face.key[2];
        const DWORD lowest = std::min({a, b, c}), highest = std::max({a, b, c}), middle = a ^ b ^ c ^ lowest ^ highest;
        // The lowest key is the lower end of two of the edges and the middle key of the
        // third; the highest key is the higher end of two. One count per key: counts of
        // one key one after another would each wait for the last.
        const std::size_t row = part * digits_.Buckets();
        next_[row + digits_.Leading(lowest)] += 2;
        ++next_[row + digits_.Leading(middle)];
        if (highNext_.get() != nullptr) {
            ++highNext_[row + middle];
            highNext_[row + highest] += 2;
        }
    }

    // Gathers the counted records, keeping at most `mostRecords` at a time (but always at
    // least one bucket's): the lower keys are split into consecutive ranges whose records
    // fit; for each range, in key order, forEachPart(part, emit) is called for every part
    // (on the pool) and must call emit(face, keys) for the same faces in the same order as
    // were counted, and
    // then visitRange() is called, which reads the range's records through Size(),
    // operator[], PartBounds and ForEachGroupIn. E_OUTOFMEMORY when the records cannot be
    // kept.
    template <typename ForEachPart, typename VisitRange>
    HRESULT Gather(std::size_t mostRecords, ForEachPart&& forEachPart, VisitRange&& visitRange) {
        if (!PlanRanges(mostRecords)) return E_OUTOFMEMORY;
        if (highNext_.get() != nullptr && RangeCount() == 1) {
            if (!ScatterByBothKeys(forEachPart)) return E_OUTOFMEMORY;
            visitRange();
            return D3D_OK;
        }
        for (std::size_t range = 0; range + 1 < rangeStart_.size(); ++range) {
            StartScattering(range);
            const std::size_t first = firstBucket_, count = lastBucket_ - firstBucket_;
            RunParts(pool_, parts_, [&](std::size_t part) {
                std::size_t* next = next_.get() + part * digits_.Buckets();
                EdgeRecord* records = records_.get();
                forEachPart(part, [&](DWORD face, const FaceKeys& keys) {
                    for (DWORD corner = 0; corner < 3; ++corner) {
                        const EdgeRecord record = keys.Edge(face, corner);
                        const std::size_t bucket = digits_.Leading(record.low);
                        // One unsigned comparison: buckets below the range wrap to large values.
                        if (bucket - first < count) Store(record, records[next[bucket]++]);
                    }
                });
            });
            if (!digits_.BucketIsOneKey() && !SortBuckets()) return E_OUTOFMEMORY;
            visitRange();
        }
        return D3D_OK;
    }

    // The current range's records.
    std::size_t Size() const { return recordCount_; }
    const EdgeRecord& operator[](std::size_t i) const { return records_[i]; }

    // Visits the undirected edges of the records [first, last) in key order; the bounds
    // must start and end at a lower key's first record (as those of PartBounds do).
    // startKey(first) is called once before the records of each lower key, from record
    // `first` on, are grouped, then visitGroup(start, end) for each undirected edge, its
    // records [start, end) in the order they were given.
    template <typename StartKey, typename VisitGroup>
    void ForEachGroupIn(std::size_t first, std::size_t last, StartKey&& startKey, VisitGroup&& visitGroup) {
        for (std::size_t runStart = first; runStart < last;) {
            startKey(runStart);
            std::size_t runEnd = runStart + 1;
            while (runEnd < last && records_[runEnd].low == records_[runStart].low) ++runEnd;
            if (!sortedByBothKeys_) GroupByHigherKey(runStart, runEnd);
            for (std::size_t start = runStart; start < runEnd;) {
                std::size_t end = start + 1;
                while (end < runEnd && records_[end].high == records_[start].high) ++end;
                visitGroup(start, end);
                start = end;
            }
            runStart = runEnd;
        }
    }

    // Bounds that split the current range's records into `parts` runs of whole buckets (so
    // no lower key is split), about equal in size: part p is [bounds[p], bounds[p + 1]).
    std::vector<std::size_t> PartBounds(std::size_t parts) const;

    // How many ranges the last Group call gathered its records in.
    std::size_t RangeCount() const { return rangeStart_.empty() ? 0 : rangeStart_.size() - 1; }

private:
    // Keys of at most this many bits get a bucket each and are counted by higher key too.
#ifdef FACET_SPLIT_SMALL_WORK
    static constexpr unsigned kMostKeyBitsCountedPerKey = 2;
#else
    static constexpr unsigned kMostKeyBitsCountedPerKey = 17;
#endif

    // A record sorted by higher key, which its place implies: eight bytes, not twelve, as
    // the scatter that writes them costs what it writes beyond the caches.
    struct LowerEnd {
        DWORD low;
        DWORD faceEdgeAndDirection;
    };

    // Field by field: copied whole, a record just made is stored to the stack in words and
    // read back in one eight-byte load, which must wait for both stores to complete.
    static void Store(const EdgeRecord& record, EdgeRecord& slot) {
        slot.low = record.low;
        slot.high = record.high;
        slot.faceEdgeAndDirection = record.faceEdgeAndDirection;
    }

    // Gathers every record at once into records_, sorted by both keys: by higher key into
    // a scratch array (each part behind the parts before it), then from there by lower key.
    template <typename ForEachPart>
    bool ScatterByBothKeys(ForEachPart& forEachPart) {
        WorkArray<LowerEnd> byHigherKey;
        if (!byHigherKey.Allocate(StartScatteringByHigherKey())) return false;
        RunParts(pool_, parts_, [&](std::size_t part) {
            std::size_t* next = highNext_.get() + part * digits_.Buckets();
            LowerEnd* records = byHigherKey.get();
            forEachPart(part, [&](DWORD face, const FaceKeys& keys) {
                for (DWORD corner = 0; corner < 3; ++corner) {
                    const EdgeRecord record = keys.Edge(face, corner);
                    records[next[record.high]++] = {record.low, record.faceEdgeAndDirection};
                }
            });
        });
        ScatterByLowerKey(byHigherKey.get());
        return true;
    }

    std::size_t StartScatteringByHigherKey();
    void ScatterByLowerKey(const LowerEnd* byHigherKey);
    bool PlanRanges(std::size_t mostRecords);
    void StartScattering(std::size_t range);
    bool SortBuckets();
    static void SortBucket(const LowKeyDigits& digits, EdgeRecord* records, std::size_t count, EdgeRecord* scratch,
                           DWORD* trailingStart);
    void GroupByHigherKey(std::size_t start, std::size_t end);

    LowKeyDigits digits_;
    // Per part: its count of each bucket's records, then, for the buckets of the current
    // range, where it puts its next one.
    WorkArray<std::size_t> next_;
    // Likewise by higher key, for keys few enough to be counted per key; else null.
    WorkArray<std::size_t> highNext_;
    bool sortedByBothKeys_ = false;  // the current range's records need no per-key sort
    std::vector<std::size_t> bucketTotal_;  // every part's records in each bucket
    std::vector<std::size_t> rangeStart_;   // range r is the buckets [rangeStart_[r], rangeStart_[r + 1])
    std::size_t firstBucket_ = 0, lastBucket_ = 0;  // the current range's buckets
    // Where bucket firstBucket_ + i's records start in the current range, i up to the count.
    std::vector<std::size_t> bucketStart_;
    WorkArray<EdgeRecord> records_;  // room for the largest range, reused by every range
    std::size_t largestBucket_ = 0;
    std::size_t recordCount_ = 0;
    ThreadPool* pool_ = nullptr;
    std::size_t parts_ = 0;
};

}  // namespace facet
