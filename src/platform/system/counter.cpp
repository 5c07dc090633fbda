// The performance counter: 10,000,000 counts per second, read from a monotonic clock,
// or from a fixed-rate clock that advances one frame interval per read so a loop that
// reads once per frame measures exactly its chosen rate.
#include "springdrop/system/system.h"
#include "springdrop/system/system_controls.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

constexpr std::int64_t kFrequency = 10'000'000;
// The fixed-rate count starts an hour in, so the first interval a frame timer sees
// (measured from zero) is long and its first rate tiny.
constexpr std::int64_t kFixedRateBase = 3600 * kFrequency;

struct CounterClock {
    bool fixedRate = false;
    std::int64_t step = 0;
    std::int64_t count = kFixedRateBase;
};

CounterClock& Clock() {
    static CounterClock clock;
    return clock;
}

}  // namespace

namespace platform {

void UseMonotonicCounter() { Clock().fixedRate = false; }

void UseFixedRateCounter(double framesPerSecond) {
    if (!(framesPerSecond > 0.0)) return;
    CounterClock& clock = Clock();
    clock.fixedRate = true;
    clock.step = std::max<std::int64_t>(1, std::llround(static_cast<double>(kFrequency) / framesPerSecond));
    clock.count = kFixedRateBase;
}

}  // namespace platform

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    frequency->QuadPart = kFrequency;
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    CounterClock& clock = Clock();
    if (clock.fixedRate) {
        clock.count += clock.step;
        count->QuadPart = clock.count;
        return TRUE;
    }
    auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    count->QuadPart = std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, kFrequency>>>(
                          sinceEpoch)
                          .count();
    return TRUE;
}
