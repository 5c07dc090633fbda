// The threads= keyword of the module's functions, and the thread pools that carry it out.
// A call on several threads borrows a pool for its length from those kept by earlier
// calls: starting threads costs tens of microseconds, more than a small call takes, so
// threads are started once per thread count rather than once per call. Calls that run at
// the same time (from Python threads, with the interpreter lock released) each borrow a
// pool of their own, since a pool runs one job at a time; so as many pools of a count are
// kept as calls have used them at once. After fork() the child forgets the parent's pools
// (their workers do not exist there) and starts its own.
#pragma once

#include "facet/thread_pool.h"

#include <pybind11/pybind11.h>

#include <memory>

namespace facet_python {

namespace py = pybind11;

// Checks threads=: None for every hardware thread (as the program's --threads does when it
// is left out), else a whole number from 1 to 1024. ValueError or TypeError otherwise.
unsigned TakeThreads(py::handle threads, const char* function);

// A pool of `threads` threads for the length of one call; none (a null pool: the caller's
// thread alone) for one thread. Borrowed and given back without the interpreter lock.
class PoolLease {
public:
    explicit PoolLease(unsigned threads);
    ~PoolLease();
    PoolLease(const PoolLease&) = delete;
    PoolLease& operator=(const PoolLease&) = delete;

    facet::ThreadPool* get() const { return pool_.get(); }

private:
    std::unique_ptr<facet::ThreadPool> pool_;
};

}  // namespace facet_python
