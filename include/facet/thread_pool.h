// ThreadPool: a fixed set of worker threads that the library's long routines (welding,
// adjacency, normals) may be handed to spread their work. Results never depend on the
// number of threads: every routine that takes a pool splits its work so that each output
// is formed by one thread in the same order as without a pool.
//
// A plain std::thread pool rather than a task scheduler: the routines split their work
// into a few large, equal parts fixed in advance (so results cannot depend on scheduling),
// which needs no work stealing, and the library keeps no dependency beyond the standard
// library.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace facet {

class ThreadPool {
public:
    // `threads` counts the caller too: 1 (or 0) starts no thread and runs everything on the
    // caller. When the system refuses a thread, the pool keeps those already started.
    explicit ThreadPool(unsigned threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    unsigned Size() const { return static_cast<unsigned>(workers_.size()) + 1; }

    // Calls task(i) once for every i in [0, count), on the workers and the caller, and
    // returns when all calls have returned. When a task throws (std::bad_alloc, say), the
    // tasks not yet started are passed over, and once those running have returned the
    // first exception is rethrown on the caller. Not reentrant: a task must not call Run
    // on the same pool.
    void Run(std::size_t count, const std::function<void(std::size_t)>& task);

    // The processor's hardware threads, at least 1.
    static unsigned HardwareThreads();

private:
    void WorkerLoop();
    void TakeTasks();

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(std::size_t)>* task_ = nullptr;
    std::size_t taskCount_ = 0;
    std::size_t nextTask_ = 0;
    std::size_t unfinished_ = 0;
    std::exception_ptr failure_;  // the first exception a task of the current job threw
    unsigned long long generation_ = 0;
    bool stopping_ = false;
};

// Runs body(part) for part in [0, parts) on `pool`, or in order on the caller when `pool`
// is null.
void RunParts(ThreadPool* pool, std::size_t parts, const std::function<void(std::size_t)>& body);

// How many parts a routine splits `items` into on `pool`: one per thread, fewer when the
// items are too few to be worth a thread each.
std::size_t PartsFor(const ThreadPool* pool, std::size_t items, std::size_t smallestPart = 1u << 14);

// The first item of part `part` of `parts` over `items`; part `parts` gives `items`.
inline std::size_t PartStart(std::size_t items, std::size_t parts, std::size_t part) {
    return static_cast<std::size_t>((static_cast<unsigned __int128>(items) * part) / parts);
}

// The items [first, last) of part `part` of `parts` over `items`. A loop should take its
// bounds from here once: tested against PartStart on every item, it divides in 128 bits
// (a library call) on every item whenever the compiler cannot prove that the loop's own
// stores leave the bound alone.
struct PartItems {
    std::size_t first;
    std::size_t last;
};
inline PartItems ItemsOfPart(std::size_t items, std::size_t parts, std::size_t part) {
    return {PartStart(items, parts, part), PartStart(items, parts, part + 1)};
}

}  // namespace facet
