// Frame times from the monotonic clock and the thread's CPU clock; peak memory from the
// kernel's own account of the process (getrusage), which needs no polling.
#include "launcher/desktop/run_stats.h"

#include <cstdio>
#include <ctime>

#include <sys/resource.h>

namespace launcher {

namespace {

std::chrono::nanoseconds ReadClock(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

long PeakResidentKibibytes() {
    rusage usage{};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
}

double Milliseconds(std::chrono::nanoseconds time) { return std::chrono::duration<double, std::milli>(time).count(); }

}  // namespace

void RunStats::FrameEnded(std::uint64_t frame) {
    const std::chrono::nanoseconds wall = ReadClock(CLOCK_MONOTONIC);
    const std::chrono::nanoseconds cpu = ReadClock(CLOCK_THREAD_CPUTIME_ID);
    if (frames_ > 0) {
        if (wall - lastWallEnd_ > slowestWall_.time) slowestWall_ = {wall - lastWallEnd_, frame};
        if (cpu - lastCpuEnd_ > slowestCpu_.time) slowestCpu_ = {cpu - lastCpuEnd_, frame};
    }
    lastWallEnd_ = wall;
    lastCpuEnd_ = cpu;
    frames_ = frame;
}

std::string RunStats::Line() const {
    char line[200];
    std::snprintf(line, sizeof line,
                  "stats: %llu frames, slowest frame %.3f ms wall (frame %llu), %.3f ms CPU (frame %llu), "
                  "peak RSS %ld KiB",
                  static_cast<unsigned long long>(frames_), Milliseconds(slowestWall_.time),
                  static_cast<unsigned long long>(slowestWall_.frame), Milliseconds(slowestCpu_.time),
                  static_cast<unsigned long long>(slowestCpu_.frame), PeakResidentKibibytes());
    return line;
}

}  // namespace launcher
