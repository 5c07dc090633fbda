// ParallelWalk: every vertex's fan walk at once on a pool, with the sequential result
// (see point_reps_from_adjacency.cpp).
#pragma once

#include "geometry/fan_walks.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace facet::fan_walks {

// Every vertex's walk at once, on ranges of the visits, then the replay of the walks that
// reach other vertices (see the top of the file). False when the one-after-the-other walk
// must decide: a walk ran too long, or memory ran out.
template <typename Index>
class ParallelWalk {
public:
    ParallelWalk(const FanWalks<Index>& walks, FaceOrder order, ThreadPool* pool, std::size_t parts)
        : walks_(walks), visits_{order}, pool_(pool), parts_(parts) {}

    // Whether the starting positions fit a word: three per visit.
    static bool Fits(FaceOrder order) { return Visits{order}.Count() < std::uint64_t{0xFFFFFFFF} / 3; }

    bool Run(DWORD* pointReps) {
        try {
            return WalkAndReplay(pointReps);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

private:
    bool WalkAndReplay(DWORD* pointReps) {
        visitCount_ = visits_.Count();
        if (!FindFirstCorners()) return false;
        // A vertex's first corner lies early on a mesh in no particular order, so the walks
        // are shared out by their number, in whole blocks of visits; in several shares per
        // thread, taken as threads come free, since walks differ in length (those at seams
        // also keep records).
        const std::size_t shares = parts_ * kSharesPerThread;
        std::vector<std::uint64_t> shareStart(shares + 1, blockStarts_.size());
        std::uint64_t total = 0;
        for (const DWORD count : blockStarts_) total += count;
        std::uint64_t before = 0;
        for (std::size_t block = 0, share = 0; block < blockStarts_.size(); before += blockStarts_[block++])
            while (share <= shares && before >= PartStart(total, shares, share)) shareStart[share++] = block;
        shareStart[0] = 0;
        records_.resize(shares);
        starts_.resize(shares);
        std::vector<unsigned char> walked(shares, 0);
        RunParts(pool_, shares, [&](std::size_t share) {
            try {  // a task must not throw
                walked[share] = WalkRange(share, std::min(visitCount_, shareStart[share] * kBlockVisits),
                                          std::min(visitCount_, shareStart[share + 1] * kBlockVisits));
            } catch (const std::bad_alloc&) {
                walked[share] = 0;
            }
        });
        return std::find(walked.begin(), walked.end(), 0) == walked.end() && Replay(pointReps);
    }

    static constexpr Index kEmpty = FanWalks<Index>::kEmpty;
    using Fan = typename FanWalks<Index>::Fan;
    // Ranges of visits come in whole blocks, so that no two threads write one word of the
    // first-corner bits (three bits per visit).
    static constexpr std::uint64_t kBlockVisits = 4096;
    static constexpr std::size_t kSharesPerThread = 8;

    // A kept walk: its starting position and where its record begins.
    struct Start {
        DWORD position;
        std::size_t offset;
    };

    std::uint64_t RangeStart(std::size_t part) const {
        const std::uint64_t blocks = (visitCount_ + kBlockVisits - 1) / kBlockVisits;
        return std::min(visitCount_, PartStart(blocks, parts_, part) * kBlockVisits);
    }
    static DWORD Position(std::uint64_t visit, DWORD corner) { return static_cast<DWORD>(3 * visit + corner); }
    bool IsFirstCorner(DWORD position) const { return (firstCorners_[position / 64] >> (position % 64) & 1) != 0; }

    // Marks each vertex's first corner in visiting order and counts them per block: each
    // range notes its vertices, each range learns those of the ranges before it, and in
    // each range a corner is first when its vertex is in neither. A vertex whose walk does
    // not run is learnt as if an earlier range held it, so that the corners ask one set
    // rather than two (both would not stay in the cache together).
    bool FindFirstCorners() {
        std::vector<VertexBits> seen(parts_);
        for (VertexBits& bits : seen)
            if (!bits.Allocate(walks_.vertexCount())) return false;
        firstCorners_.reset(new (std::nothrow) std::uint64_t[3 * visitCount_ / 64 + 1]());
        if (firstCorners_ == nullptr) return false;
        blockStarts_.assign((visitCount_ + kBlockVisits - 1) / kBlockVisits, 0);
        // No range comes after the last, so its vertices are not needed yet.
        RunParts(pool_, parts_ - 1, [&](std::size_t part) {
            visits_.ForRange(RangeStart(part), RangeStart(part + 1), [&](DWORD face, std::uint64_t) {
                for (DWORD corner = 0; corner < 3; ++corner)
                    if (const Index vertex = walks_.MeshCorner(face, corner); vertex != kEmpty) seen[part].Add(vertex);
                return true;
            });
        });
        const std::size_t words = seen[0].wordCount();
        const std::size_t wordParts = PartsFor(pool_, words, 1u << 12);
        RunParts(pool_, wordParts, [&](std::size_t wordPart) {
            const auto [first, last] = ItemsOfPart(words, wordParts, wordPart);
            for (std::size_t word = first; word < last; ++word) {
                std::uint64_t before = 0;
                const std::uint64_t notWalked = ~walks_.WalkedWord(word);
                for (VertexBits& bits : seen) {
                    const std::uint64_t own = bits.words()[word];
                    bits.words()[word] = before | notWalked;
                    before |= own;
                }
            }
        });
        RunParts(pool_, parts_, [&](std::size_t part) {
            visits_.ForRange(RangeStart(part), RangeStart(part + 1), [&](DWORD face, std::uint64_t visit) {
                for (DWORD corner = 0; corner < 3; ++corner) {
                    const Index vertex = walks_.MeshCorner(face, corner);
                    if (vertex == kEmpty || seen[part].Has(vertex)) continue;
                    seen[part].Add(vertex);
                    const DWORD position = Position(visit, corner);
                    firstCorners_[position / 64] |= std::uint64_t{1} << (position % 64);
                    ++blockStarts_[visit / kBlockVisits];
                }
                return true;
            });
        });
        return true;
    }

    // Runs the walks that start in the visits [first, last), keeping those that reach
    // other vertices as records (vertex, count, vertices reached), listed in starting
    // order.
    bool WalkRange(std::size_t share, std::uint64_t first, std::uint64_t last) {
        FanRooms<Index> fans;
        if (!fans.Allocate()) return false;
        std::vector<DWORD>& records = records_[share];
        std::vector<Start>& starts = starts_[share];
        DWORD freeSlots[kFansInFlight], active[kFansInFlight];
        DWORD freeCount = kFansInFlight, activeCount = 0;
        for (DWORD slot = 0; slot < kFansInFlight; ++slot) freeSlots[slot] = slot;
        bool failed = false;
        // Steps every walk in flight once, keeping the finished ones' records. Walks finish
        // out of starting order, but never far from it.
        const auto stepAll = [&] {
            for (DWORD i = 0; i < activeCount;) {
                Fan& fan = fans[active[i]];
                if (!fan.finished) walks_.Step(&fan, nullptr);
                if (!fan.finished) {
                    ++i;
                    continue;
                }
                if (FAILED(fan.result)) failed = true;
                if (fan.reachedCount != 0) {
                    starts.push_back({fan.startPosition, records.size()});
                    for (std::size_t at = starts.size() - 1; at > 0 && starts[at - 1].position > starts[at].position; --at)
                        std::swap(starts[at - 1], starts[at]);
                    records.insert(records.end(), {DWORD{fan.vertex}, fan.reachedCount});
                    records.insert(records.end(), fan.reached, fan.reached + fan.reachedCount);
                }
                freeSlots[freeCount++] = active[i];
                active[i] = active[--activeCount];
            }
        };
        const bool completed = visits_.ForRange(first, last, [&](DWORD face, std::uint64_t visit) {
            while (activeCount > kFansInFlight - 3) stepAll();
            for (DWORD corner = 0; corner < 3; ++corner) {
                if (!IsFirstCorner(Position(visit, corner))) continue;
                const DWORD slot = freeSlots[--freeCount];
                active[activeCount++] = slot;
                walks_.Start(&fans[slot], face, corner, Position(visit, corner));
            }
            return !failed;
        });
        while (completed && activeCount != 0) stepAll();
        return completed && !failed;
    }

    // Only walks that reach other vertices than their own are kept: whether a walk is
    // applied depends on those alone, and an applied walk that reaches its own vertex only
    // leaves it standing for itself.
    bool Replay(DWORD* pointReps) const {
        const DWORD vertexCount = walks_.vertexCount();
        VertexBits reached;
        if (!reached.Allocate(vertexCount)) return false;
        const std::size_t vertexParts = PartsFor(pool_, vertexCount);
        RunParts(pool_, vertexParts, [&](std::size_t part) {
            const auto [first, last] = ItemsOfPart(vertexCount, vertexParts, part);
            for (auto vertex = static_cast<DWORD>(first); vertex < last; ++vertex)
                pointReps[vertex] = vertex;
        });
        for (std::size_t share = 0; share < records_.size(); ++share)
            for (const Start& start : starts_[share]) {
                const DWORD* record = &records_[share][start.offset];
                if (reached.Has(record[0])) continue;  // an earlier applied walk reached its vertex
                for (DWORD i = 0; i < record[1]; ++i) {
                    pointReps[record[2 + i]] = record[0];
                    reached.Add(record[2 + i]);
                }
            }
        return true;
    }

    const FanWalks<Index>& walks_;
    Visits visits_;
    ThreadPool* pool_;
    std::size_t parts_;
    std::uint64_t visitCount_ = 0;
    std::unique_ptr<std::uint64_t[]> firstCorners_;
    std::vector<DWORD> blockStarts_;  // first corners per block of visits
    std::vector<std::vector<DWORD>> records_;
    std::vector<std::vector<Start>> starts_;
};

}  // namespace facet::fan_walks
