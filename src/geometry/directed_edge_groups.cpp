// DirectedEdgeGroups: the bucket bookkeeping of the scatter and the in-cache sorts; see
// directed_edge_groups.h.
#include "geometry/directed_edge_groups.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

namespace facet {

namespace {

constexpr std::size_t kInsertionSortLimit = 32;

template <typename Less>
void InsertionSort(EdgeRecord* records, std::size_t count, Less less) {
    for (std::size_t i = 1; i < count; ++i) {
        const EdgeRecord record = records[i];
        std::size_t j = i;
        for (; j > 0 && less(record, records[j - 1]); --j) records[j] = records[j - 1];
        records[j] = record;
    }
}

}  // namespace

bool DirectedEdgeGroups::StartCounting(unsigned keyBits, ThreadPool* pool, std::size_t parts) {
    const bool perKey = keyBits <= kMostKeyBitsCountedPerKey;
    digits_ = perKey ? LowKeyDigits(keyBits, 0) : LowKeyDigits(keyBits);
    pool_ = pool;
    parts_ = parts;
    recordCount_ = 0;
    sortedByBothKeys_ = false;
    rangeStart_.clear();
    const std::size_t counts = parts * digits_.Buckets();
    highNext_.Free();
    if (!next_.Allocate(counts) || (perKey && !highNext_.Allocate(counts))) return false;
    std::fill(next_.get(), next_.get() + counts, 0);
    if (perKey) std::fill(highNext_.get(), highNext_.get() + counts, 0);
    return true;
}

// Turns the parts' counts by higher key into where each part starts in each key's run of
// the records sorted by higher key; returns how many records there are.
std::size_t DirectedEdgeGroups::StartScatteringByHigherKey() {
    const std::size_t keys = digits_.Buckets(), parts = parts_;
    std::size_t total = 0;
    for (std::size_t key = 0; key < keys; ++key)
        for (std::size_t part = 0; part < parts; ++part) total += std::exchange(highNext_[part * keys + key], total);
    return total;
}

// Scatters the records, in their order by higher key, into the one range by lower key.
// On one thread: each lower key takes records from every part's share of the higher keys.
void DirectedEdgeGroups::ScatterByLowerKey(const LowerEnd* byHigherKey) {
    StartScattering(0);
    const std::size_t keys = digits_.Buckets();
    // The last part's places now end each higher key's records; the first part's places
    // start each bucket by lower key, so one pass fills the buckets through them.
    const std::size_t* higherKeyEnd = highNext_.get() + (parts_ - 1) * keys;
    std::size_t* next = next_.get();
    EdgeRecord* records = records_.get();
    std::size_t i = 0;
    for (DWORD high = 0; high < keys; ++high)
        for (; i < higherKeyEnd[high]; ++i)
            records[next[byHigherKey[i].low]++] = {byHigherKey[i].low, high, byHigherKey[i].faceEdgeAndDirection};
    sortedByBothKeys_ = true;
}

// Totals the parts' counts and splits the buckets into ranges of at most `mostRecords`
// records (a larger bucket alone), then makes room for the largest range.
bool DirectedEdgeGroups::PlanRanges(std::size_t mostRecords) {
    const std::size_t buckets = digits_.Buckets(), parts = parts_;
    bucketTotal_.assign(buckets, 0);
    largestBucket_ = 0;
    for (std::size_t bucket = 0; bucket < buckets; ++bucket) {
        for (std::size_t part = 0; part < parts; ++part) bucketTotal_[bucket] += next_[part * buckets + bucket];
        largestBucket_ = std::max(largestBucket_, bucketTotal_[bucket]);
    }
    rangeStart_.assign(1, 0);
    std::size_t inRange = 0, largestRange = 0;
    for (std::size_t bucket = 0; bucket < buckets; ++bucket) {
        if (inRange != 0 && inRange + bucketTotal_[bucket] > mostRecords) {
            rangeStart_.push_back(bucket);
            inRange = 0;
        }
        inRange += bucketTotal_[bucket];
        largestRange = std::max(largestRange, inRange);
    }
    rangeStart_.push_back(buckets);
    return records_.Allocate(largestRange);
}

// Turns the parts' counts of range `range`'s buckets into where each part starts in each.
void DirectedEdgeGroups::StartScattering(std::size_t range) {
    const std::size_t buckets = digits_.Buckets(), parts = parts_;
    firstBucket_ = rangeStart_[range];
    lastBucket_ = rangeStart_[range + 1];
    bucketStart_.assign(lastBucket_ - firstBucket_ + 1, 0);
    std::size_t total = 0;
    for (std::size_t bucket = firstBucket_; bucket < lastBucket_; ++bucket) {
        bucketStart_[bucket - firstBucket_] = total;
        for (std::size_t part = 0; part < parts; ++part)
            total += std::exchange(next_[part * buckets + bucket], total);
    }
    bucketStart_.back() = total;
    recordCount_ = total;
}

bool DirectedEdgeGroups::SortBuckets() {
    const std::size_t buckets = lastBucket_ - firstBucket_;
    const std::size_t parts = PartsFor(pool_, recordCount_);
    std::vector<char> failed(parts, 0);
    RunParts(pool_, parts, [&](std::size_t part) {
        WorkArray<EdgeRecord> scratch;
        std::unique_ptr<DWORD[]> trailingStart(new (std::nothrow) DWORD[digits_.TrailingValues()]);
        if (!scratch.Allocate(largestBucket_) || trailingStart == nullptr) {
            failed[part] = 1;
            return;
        }
        const auto [first, last] = ItemsOfPart(buckets, parts, part);
        for (std::size_t bucket = first; bucket < last; ++bucket)
            SortBucket(digits_, records_.get() + bucketStart_[bucket], bucketStart_[bucket + 1] - bucketStart_[bucket],
                       scratch.get(), trailingStart.get());
    });
    return std::find(failed.begin(), failed.end(), 1) == failed.end();
}

std::vector<std::size_t> DirectedEdgeGroups::PartBounds(std::size_t parts) const {
    std::vector<std::size_t> bounds{0};
    const std::size_t buckets = lastBucket_ - firstBucket_;
    std::size_t bucket = 0;
    for (std::size_t part = 1; part < parts; ++part) {
        const std::size_t wanted = PartStart(recordCount_, parts, part);
        while (bucket < buckets && bucketStart_[bucket] < wanted) ++bucket;
        bounds.push_back(std::max(bounds.back(), bucketStart_[bucket]));
    }
    bounds.push_back(recordCount_);
    return bounds;
}

// Stably sorts one bucket's records by the lower key's trailing digit: by insertion when
// they are few, otherwise by counting through `scratch`.
void DirectedEdgeGroups::SortBucket(const LowKeyDigits& digits, EdgeRecord* records, std::size_t count,
                                    EdgeRecord* scratch, DWORD* trailingStart) {
    if (count <= kInsertionSortLimit) {
        InsertionSort(records, count, [](const EdgeRecord& a, const EdgeRecord& b) { return a.low < b.low; });
        return;
    }
    std::fill(trailingStart, trailingStart + digits.TrailingValues(), 0);
    for (std::size_t i = 0; i < count; ++i) ++trailingStart[digits.Trailing(records[i].low)];
    DWORD total = 0;
    for (std::size_t value = 0; value < digits.TrailingValues(); ++value)
        total += std::exchange(trailingStart[value], total);
    std::copy(records, records + count, scratch);
    for (std::size_t i = 0; i < count; ++i) records[trailingStart[digits.Trailing(scratch[i].low)]++] = scratch[i];
}

// A key's records are few (twice its edges to higher keys), so an insertion sort serves;
// a key shared by very many faces gets a merge sort instead.
void DirectedEdgeGroups::GroupByHigherKey(std::size_t start, std::size_t end) {
    const auto byHigh = [](const EdgeRecord& a, const EdgeRecord& b) { return a.high < b.high; };
    if (end - start > kInsertionSortLimit)
        std::stable_sort(records_.get() + start, records_.get() + end, byHigh);
    else
        InsertionSort(records_.get() + start, end - start, byHigh);
}

}  // namespace facet
