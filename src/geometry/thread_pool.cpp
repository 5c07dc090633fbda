// ThreadPool: see facet/thread_pool.h. Tasks are handed out one index at a time under the
// pool's lock; the routines give a few large tasks, so the lock is taken seldom.
#include "facet/thread_pool.h"

#include "facet/dispatch.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace facet {

ThreadPool::ThreadPool(unsigned threads) {
    // The first call of a dispatched math routine chooses the routines for this processor,
    // and a call made meanwhile on another thread runs the portable ones, whose last bits
    // may differ. Choosing before any worker exists keeps results the same on every thread.
    InitDispatchTable(1);
    try {
        for (unsigned i = 1; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
        // The system gives no more threads (a process limit): the pool runs on those it
        // has, which changes the speed but never the results.
    }
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

unsigned ThreadPool::HardwareThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

void ThreadPool::Run(std::size_t count, const std::function<void(std::size_t)>& task) {
    if (workers_.empty() || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) task(i);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        task_ = &task;
        taskCount_ = count;
        nextTask_ = 0;
        unfinished_ = count;
        ++generation_;
    }
    wake_.notify_all();
    TakeTasks();
    std::exception_ptr failure;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return unfinished_ == 0; });
        task_ = nullptr;
        failure = std::exchange(failure_, nullptr);
    }
    // Only now: the tasks still running may use what the caller's frame holds.
    if (failure) std::rethrow_exception(failure);
}

// Runs tasks of the current job until none is left to start.
void ThreadPool::TakeTasks() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (task_ != nullptr && nextTask_ < taskCount_) {
        const std::size_t index = nextTask_++;
        const std::function<void(std::size_t)>& task = *task_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            task(index);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure) {
            if (!failure_) failure_ = failure;
            // The job has failed: the tasks not yet started count as done.
            unfinished_ -= taskCount_ - nextTask_;
            nextTask_ = taskCount_;
        }
        if (--unfinished_ == 0) done_.notify_all();
    }
}

void ThreadPool::WorkerLoop() {
    unsigned long long seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
        }
        TakeTasks();
    }
}

void RunParts(ThreadPool* pool, std::size_t parts, const std::function<void(std::size_t)>& body) {
    if (pool == nullptr) {
        for (std::size_t part = 0; part < parts; ++part) body(part);
        return;
    }
    pool->Run(parts, body);
}

std::size_t PartsFor(const ThreadPool* pool, std::size_t items, std::size_t smallestPart) {
    if (pool == nullptr) return 1;
#ifdef FACET_SPLIT_SMALL_WORK
    smallestPart = 1;  // a build that tests the splitting on small inputs
#endif
    const std::size_t byItems = std::max<std::size_t>(1, items / std::max<std::size_t>(1, smallestPart));
    return std::min<std::size_t>(pool->Size(), byItems);
}

}  // namespace facet
