// The window path as a user sees it: the demo's three overlay lines, a clear, six spring
// lines and a present into a real SDL window on a private X server (Xvfb), reported as
// presents per second of wall time (the X server does part of the work in its own process).
#include "demo_sized_device.h"
#include "demo_sized_window.h"
#include "support/path_lookup.h"
#include "support/x_server.h"
#include "springdrop/shell/shell.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

// A shown 640 × 480 window on a private display, or null when Xvfb or SDL cannot give one.
HWND WindowOnPrivateDisplay() {
    static test_support::XServer server;
    const auto log = std::filesystem::temp_directory_path() / ("bench-xvfb-" + std::to_string(getpid()) + ".log");
    if (!test_support::OnPath("Xvfb") || !server.Start(log)) return nullptr;
    std::filesystem::remove(log);
    setenv("DISPLAY", server.Display().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    HWND hwnd = bench_support::DemoSizedWindow(platform::Backend::Sdl, "WindowPresentBench");
    if (!hwnd || platform::ActiveBackend() != platform::Backend::Sdl) return nullptr;
    ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

void BM_WindowFramePresents(benchmark::State& state) {
    static HWND hwnd = WindowOnPrivateDisplay();
    if (!hwnd) {
        state.SkipWithError("no SDL window on a private X server (is Xvfb installed?)");
        return;
    }
    bench_support::DemoSizedDevice device(hwnd);
    HDC hdc = GetDC(hwnd);
    MSG message;
    for (auto _ : state) {
        TextOutA(hdc, 10, 10, "fps_MAX 812.3456", 16);
        TextOutA(hdc, 10, 30, "fps_Now 799.12345", 17);
        TextOutA(hdc, 10, 50, "\xC3\xCA\xB1\xE2\xB3\xF4\xC0\xCC 101.0000", 17);
        device.Clear();
        device.DrawLines();
        device.Present();
        // The demo's loop drains the window's messages between frames.
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    state.counters["presents_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WindowFramePresents)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
