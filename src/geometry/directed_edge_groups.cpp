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

bool DirectedEdgeGroups::StartCounting(std::size_t parts) {
    recordCount_ = 0;
    const std::size_t buckets = digits_.Buckets();
    bucketStart_.reset(new (std::nothrow) std::size_t[buckets + 1]);
    next_.reset(new (std::nothrow) std::size_t[parts * buckets]());
    return bucketStart_ != nullptr && next_ != nullptr;
}

// Turns the parts' counts into where each part starts in each bucket.
bool DirectedEdgeGroups::StartScattering(std::size_t parts) {
    const std::size_t buckets = digits_.Buckets();
    largestBucket_ = 0;
    std::size_t total = 0;
    for (std::size_t bucket = 0; bucket < buckets; ++bucket) {
        bucketStart_[bucket] = total;
        for (std::size_t part = 0; part < parts; ++part)
            total += std::exchange(next_[part * buckets + bucket], total);
        largestBucket_ = std::max(largestBucket_, total - bucketStart_[bucket]);
    }
    bucketStart_[buckets] = total;
    recordCount_ = total;
    return records_.Allocate(recordCount_);
}

bool DirectedEdgeGroups::SortBuckets() {
    next_.reset();
    const std::size_t buckets = digits_.Buckets();
    const std::size_t parts = PartsFor(pool_, recordCount_);
    bool allocated = true;
    std::vector<char> failed(parts, 0);
    RunParts(pool_, parts, [&](std::size_t part) {
        WorkArray<EdgeRecord> scratch;
        std::unique_ptr<DWORD[]> trailingStart(new (std::nothrow) DWORD[digits_.TrailingValues()]);
        if (!scratch.Allocate(largestBucket_) || trailingStart == nullptr) {
            failed[part] = 1;
            return;
        }
        for (std::size_t bucket = PartStart(buckets, parts, part); bucket < PartStart(buckets, parts, part + 1);
             ++bucket)
            SortBucket(digits_, records_.get() + bucketStart_[bucket], bucketStart_[bucket + 1] - bucketStart_[bucket],
                       scratch.get(), trailingStart.get());
    });
    for (const char f : failed) allocated = allocated && f == 0;
    return allocated;
}

std::vector<std::size_t> DirectedEdgeGroups::PartBounds(std::size_t parts) const {
    std::vector<std::size_t> bounds{0};
    const std::size_t buckets = digits_.Buckets();
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
