// DirectedEdgeGroups: the bucket bookkeeping of the scatter and the in-cache sorts; see
// directed_edge_groups.h.
#include "geometry/directed_edge_groups.h"

#include <algorithm>
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

bool DirectedEdgeGroups::StartCounting() {
    recordCount_ = 0;
    bucketStart_.reset(new (std::nothrow) std::size_t[digits_.Buckets() + 1]());
    trailingStart_.reset(new (std::nothrow) DWORD[digits_.TrailingValues()]);
    return bucketStart_ != nullptr && trailingStart_ != nullptr;
}

bool DirectedEdgeGroups::StartScattering() {
    const std::size_t buckets = digits_.Buckets();
    std::size_t largestBucket = 0;
    for (std::size_t bucket = 0; bucket < buckets; ++bucket) {
        largestBucket = std::max(largestBucket, bucketStart_[bucket + 1]);
        bucketStart_[bucket + 1] += bucketStart_[bucket];
    }
    recordCount_ = bucketStart_[buckets];
    if (!records_.Allocate(recordCount_) || !scratch_.Allocate(largestBucket)) return false;
    next_.reset(new (std::nothrow) std::size_t[buckets]);
    if (next_ == nullptr) return false;
    std::copy(bucketStart_.get(), bucketStart_.get() + buckets, next_.get());
    return true;
}

void DirectedEdgeGroups::SortBuckets() {
    next_.reset();
    for (std::size_t bucket = 0; bucket < digits_.Buckets(); ++bucket)
        SortBucket(records_.get() + bucketStart_[bucket], bucketStart_[bucket + 1] - bucketStart_[bucket]);
}

// Stably sorts one bucket's records by the lower key's trailing digit: by insertion when
// they are few, otherwise by counting through scratch_.
void DirectedEdgeGroups::SortBucket(EdgeRecord* records, std::size_t count) {
    if (count <= kInsertionSortLimit) {
        InsertionSort(records, count, [](const EdgeRecord& a, const EdgeRecord& b) { return a.low < b.low; });
        return;
    }
    DWORD* trailingStart = trailingStart_.get();
    std::fill(trailingStart, trailingStart + digits_.TrailingValues(), 0);
    for (std::size_t i = 0; i < count; ++i) ++trailingStart[digits_.Trailing(records[i].low)];
    DWORD total = 0;
    for (std::size_t value = 0; value < digits_.TrailingValues(); ++value)
        total += std::exchange(trailingStart[value], total);
    std::copy(records, records + count, scratch_.get());
    for (std::size_t i = 0; i < count; ++i) records[trailingStart[digits_.Trailing(scratch_[i].low)]++] = scratch_[i];
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
