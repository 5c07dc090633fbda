// RunInPipeline: a sequence of runs of work in two stages, the second taking the runs in
// the order the first made them, on two threads of a pool at once: for a reader whose
// second stage must go in file order (joining corners into vertices numbered by their
// first corner) while the first (copying, checking, hashing) may run ahead of it.
#pragma once

#include "facet/thread_pool.h"

#include <atomic>
#include <cstddef>
#include <exception>
#include <vector>

namespace facet {

// Calls produce(i, &slot) for i in [0, runs), in order, and consume(i, slot) with the same
// slot after each, in order. On `pool` with two threads or more (and `parallel`),
// producing runs ahead on one thread, at most `depth` runs, while consuming goes on on
// another; otherwise both on the caller, one run after the other. A produce that returns
// false ends the work: its run is not consumed, and neither is any later one. An
// exception from either stage ends both and is rethrown on the caller (the producer's
// when both threw). False when a produce returned false.
template <typename Slot, typename Produce, typename Consume>
bool RunInPipeline(ThreadPool* pool, bool parallel, std::size_t runs, std::size_t depth, Produce&& produce,
                   Consume&& consume) {
    if (pool == nullptr || pool->Size() < 2 || !parallel || runs < 2) {
        Slot slot;
        for (std::size_t i = 0; i < runs; ++i) {
            if (!produce(i, &slot)) return false;
            consume(i, slot);
        }
        return true;
    }
    // The producer's count of runs made, with a bit once it has ended (for whatever
    // reason); the consumer's count of runs taken, or kGaveUp once it has ended early.
    // Each side waits on the other's counter, so a change is what wakes it.
    constexpr std::size_t kEnded = std::size_t{1} << (8 * sizeof(std::size_t) - 1);
    constexpr std::size_t kGaveUp = ~std::size_t{0};
    std::vector<Slot> ring(depth);
    std::atomic<std::size_t> produced{0};
    std::atomic<std::size_t> consumed{0};
    bool refused = false;
    std::exception_ptr failures[2];
    RunParts(pool, 2, [&](std::size_t part) {
        if (part == 0) {
            std::size_t made = 0;
            try {
                for (; made < runs; ++made) {
                    std::size_t taken = consumed.load(std::memory_order_acquire);
                    while (taken != kGaveUp && made - taken >= depth) {
                        consumed.wait(taken, std::memory_order_acquire);
                        taken = consumed.load(std::memory_order_acquire);
                    }
                    if (taken == kGaveUp) break;
                    if (!produce(made, &ring[made % depth])) {
                        refused = true;
                        break;
                    }
                    produced.store(made + 1, std::memory_order_release);
                    produced.notify_one();
                }
            } catch (...) {
                failures[0] = std::current_exception();
            }
            produced.store(made | kEnded, std::memory_order_release);
            produced.notify_one();
            return;
        }
        std::size_t taken = 0;
        try {
            for (; taken < runs; ++taken) {
                std::size_t made = produced.load(std::memory_order_acquire);
                while ((made & ~kEnded) <= taken && (made & kEnded) == 0) {
                    produced.wait(made, std::memory_order_acquire);
                    made = produced.load(std::memory_order_acquire);
                }
                if ((made & ~kEnded) <= taken) break;
                consume(taken, ring[taken % depth]);
                consumed.store(taken + 1, std::memory_order_release);
                consumed.notify_one();
            }
        } catch (...) {
            failures[1] = std::current_exception();
            consumed.store(kGaveUp, std::memory_order_release);
            consumed.notify_one();
        }
    });
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
    return !refused;
}

}  // namespace facet
