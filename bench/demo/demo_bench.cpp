// The demo's hot paths beside a reference in the same run: one simulation step, one whole
// headless frame without and with the launcher's --png capture attached, and a memset of
// the 640 x 480 RGBA back buffer. Each frame bench also times that memset itself, on the
// thread's CPU clock, and reports its frame as a multiple of it ("x_memset"), so the
// ratio comes from one run whatever else the machine is doing.
#include "app/entry.h"
#include "app/frame_sequence.h"
#include "app/lifecycle.h"
#include "springdrop/d3d9/instrumentation.h"
#include "launcher/desktop/desktop_session.h"
#include "sim/scene.h"
#include "springdrop/shell/shell.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr std::size_t kBackBufferBytes = 640 * 480 * 4;

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void FillBackBuffer(std::vector<unsigned char>& buffer, unsigned char value) {
    std::memset(buffer.data(), value, buffer.size());
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
}

// Seconds of one back-buffer memset: the best of several batches, as the frame's own
// figure is an average of a warm loop too.
double MemsetSeconds() {
    std::vector<unsigned char> buffer(kBackBufferBytes);
    constexpr int kBatch = 200;
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        const double start = ThreadSeconds();
        for (int i = 0; i < kBatch; ++i) FillBackBuffer(buffer, static_cast<unsigned char>(i));
        best = std::min(best, (ThreadSeconds() - start) / kBatch);
    }
    return best;
}

// Runs `frame` in the benchmark loop and reports it against the memset measured just before.
template <class Frame>
void RunBesideMemset(benchmark::State& state, Frame frame) {
    const double memset = MemsetSeconds();
    const double start = ThreadSeconds();
    for (auto _ : state) frame();
    const double perFrame = (ThreadSeconds() - start) / static_cast<double>(state.iterations());
    state.counters["memset_us"] = memset * 1e6;
    state.counters["x_memset"] = perFrame / memset;
}

void BM_BackBufferMemset(benchmark::State& state) {
    std::vector<unsigned char> buffer(kBackBufferBytes);
    unsigned char value = 0;
    for (auto _ : state) FillBackBuffer(buffer, ++value);
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

// The demo with its headless window open, made once for every frame bench; null when the
// window could not be created.
app::Demo* HeadlessDemo() {
    static app::Demo demo;
    static const bool ready = [] {
        platform::SetBackend(platform::Backend::Headless);
        d3d9sw::SetCallLogging(false);
        return app::AllocateLongLivedObjects(demo) && app::RegisterWindowClass(demo, nullptr) != 0 &&
               app::CreateMainWindow(demo, nullptr, SW_SHOWDEFAULT) != 0;
    }();
    return ready ? &demo : nullptr;
}

void BM_HeadlessFrame(benchmark::State& state) {
    app::Demo* demo = HeadlessDemo();
    if (!demo) {
        state.SkipWithError("the headless window could not be created");
        return;
    }
    RunBesideMemset(state, [demo] { app::RenderFrame(*demo); });
}
BENCHMARK(BM_HeadlessFrame)->Unit(benchmark::kMicrosecond);

// The frame as `springdrop --png FILE` runs it: the launcher's session observes every
// frame. Its pending file lives in the temporary directory and is removed unwritten.
void BM_HeadlessFrameWithPngCapture(benchmark::State& state) {
    app::Demo* demo = HeadlessDemo();
    if (!demo) {
        state.SkipWithError("the headless window could not be created");
        return;
    }
    launcher::LauncherOptions options;
    options.headless = true;
    options.pngPath = std::filesystem::temp_directory_path() / ("bench-frame-" + std::to_string(getpid()) + ".png");
    launcher::DesktopSession session(options);
    std::string error;
    if (!session.OpenOutputs(640, 480, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    session.Attach(*demo);
    RunBesideMemset(state, [demo] { app::RenderFrame(*demo); });
    session.Detach();
}
BENCHMARK(BM_HeadlessFrameWithPngCapture)->Unit(benchmark::kMicrosecond);

}  // namespace
