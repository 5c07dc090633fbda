// Thread counts and the kept pools; see thread_pools.h.
#include "thread_pools.h"

#include "errors.h"

#include <pthread.h>

#include <map>
#include <new>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace facet_python {

namespace {

// The most threads a call may ask for, as for the program's --threads.
constexpr Py_ssize_t kMostThreads = 1024;

// Pools not lent out now, by thread count.
struct IdlePools {
    std::mutex mutex;
    std::map<unsigned, std::vector<std::unique_ptr<facet::ThreadPool>>> byCount;
};

// Never destroyed: a call still running on a Python thread when the interpreter exits may
// give its pool back after static destruction, and idle workers cost nothing at exit.
IdlePools* idlePools = nullptr;

// fork() copies only the thread that calls it. In the child the parent's pools have no
// workers (a call would run on its caller alone, and destroying one would wait for threads
// that are not there), and a lock another thread held at that moment would stay held. So
// the lock is taken across the fork, and the child leaves the parent's pools untouched and
// starts pools of its own.
void LockForFork() { idlePools->mutex.lock(); }
void UnlockAfterFork() { idlePools->mutex.unlock(); }
void ForgetPoolsInChild() { idlePools = new IdlePools; }

IdlePools& Pools() {
    static const bool made = [] {
        idlePools = new IdlePools;
        pthread_atfork(LockForFork, UnlockAfterFork, ForgetPoolsInChild);
        return true;
    }();
    static_cast<void>(made);
    return *idlePools;
}

}  // namespace

unsigned TakeThreads(py::handle threads, const char* function) {
    // Asked once: the system answers by reading a file, which would cost a small call more
    // than its work.
    static const unsigned hardwareThreads = facet::ThreadPool::HardwareThreads();
    if (threads.is_none()) return hardwareThreads;
    const std::string refusal = std::string("facet.") + function + ": threads needs a whole number from 1 to " +
                                std::to_string(kMostThreads) + ", or None for all the processor's";
    if (PyBool_Check(threads.ptr()) || !PyIndex_Check(threads.ptr())) throw py::type_error(refusal);
    // Numbers too large for a Py_ssize_t come back as its largest value: refused all the same.
    const Py_ssize_t count = PyNumber_AsSsize_t(threads.ptr(), nullptr);
    if (count == -1 && PyErr_Occurred()) throw py::error_already_set();
    if (count < 1 || count > kMostThreads) ThrowValueError(refusal);
    return static_cast<unsigned>(count);
}

PoolLease::PoolLease(unsigned threads) {
    if (threads <= 1) return;
    {
        IdlePools& pools = Pools();
        std::lock_guard<std::mutex> lock(pools.mutex);
        std::vector<std::unique_ptr<facet::ThreadPool>>& idle = pools.byCount[threads];
        if (!idle.empty()) {
            pool_ = std::move(idle.back());
            idle.pop_back();
            return;
        }
    }
    pool_ = std::make_unique<facet::ThreadPool>(threads);
}

PoolLease::~PoolLease() {
    if (pool_ == nullptr) return;
    IdlePools& pools = Pools();
    std::lock_guard<std::mutex> lock(pools.mutex);
    try {
        pools.byCount[pool_->Size()].push_back(std::move(pool_));
    } catch (const std::bad_alloc&) {
        // Not kept, then: the pool's threads end with it.
    }
}

}  // namespace facet_python
