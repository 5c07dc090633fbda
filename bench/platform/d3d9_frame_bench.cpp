// The software device's per-frame cost at the demo's size: a 640 × 480 clear of target,
// depth and stencil (white, whose equal bytes make a memset, and a colour whose bytes
// differ), and a frame of six spring lines (lock, copy, bind, draw) with the call log
// off, as a long run uses it. Both should stay well under a millisecond.
#include "demo_sized_device.h"

#include <benchmark/benchmark.h>

namespace {

using bench_support::DemoSizedDevice;

void BM_Clear640x480(benchmark::State& state) {
    DemoSizedDevice device;
    for (auto _ : state) device.Clear();
}
BENCHMARK(BM_Clear640x480)->Unit(benchmark::kMicrosecond);

void BM_Clear640x480UnequalBytes(benchmark::State& state) {
    DemoSizedDevice device;
    for (auto _ : state) device.Clear(0xFF336699);
}
BENCHMARK(BM_Clear640x480UnequalBytes)->Unit(benchmark::kMicrosecond);

void BM_SixSpringLines(benchmark::State& state) {
    DemoSizedDevice device;
    for (auto _ : state) device.DrawLines();
}
BENCHMARK(BM_SixSpringLines)->Unit(benchmark::kMicrosecond);

void BM_ClearAndSixLines(benchmark::State& state) {
    DemoSizedDevice device;
    for (auto _ : state) {
        device.Clear();
        device.DrawLines();
    }
}
BENCHMARK(BM_ClearAndSixLines)->Unit(benchmark::kMicrosecond);

}  // namespace
