// The demo's hot paths beside a reference in the same run: one simulation step, one whole
// headless frame, and a memset of the 640 x 480 RGBA back buffer.
#include "app/entry.h"
#include "app/frame_sequence.h"
#include "app/lifecycle.h"
#include "d3d9/instrumentation.h"
#include "sim/scene.h"
#include "win32/shell.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kBackBufferBytes = 640 * 480 * 4;

void BM_BackBufferMemset(benchmark::State& state) {
    std::vector<unsigned char> buffer(kBackBufferBytes);
    unsigned char value = 0;
    for (auto _ : state) {
        std::memset(buffer.data(), ++value, buffer.size());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBackBufferBytes));
}
BENCHMARK(BM_BackBufferMemset);

void BM_SpringBodyStep(benchmark::State& state) {
    sim::SpringBody body;
    sim::BuildTetrahedron(&body, 101.0f);
    for (auto _ : state) {
        body.Step(0.01f);
        benchmark::DoNotOptimize(body.masses[0].position);
    }
}
BENCHMARK(BM_SpringBodyStep);

void BM_HeadlessFrame(benchmark::State& state) {
    static app::Demo demo;
    static const bool windowReady = [] {
        platform::SetBackend(platform::Backend::Headless);
        d3d9sw::SetCallLogging(false);
        return app::AllocateLongLivedObjects(demo) && app::RegisterWindowClass(demo, nullptr) != 0 &&
               app::CreateMainWindow(demo, nullptr, SW_SHOWDEFAULT) != 0;
    }();
    if (!windowReady) {
        state.SkipWithError("the headless window could not be created");
        return;
    }
    for (auto _ : state) app::RenderFrame(demo);
}
BENCHMARK(BM_HeadlessFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
