// The window shell's per-frame cost at the demo's size with the demo's overlay: three
// 17-byte text lines (one with Hangul) and a 640 x 480 present into a headless window.
// With glyphs cached, a frame should stay well under a millisecond.
#include "demo_sized_window.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

HWND DemoSizedWindow() { return bench_support::DemoSizedWindow(platform::Backend::Headless, "OverlayBench"); }

void OverlayAndPresent(benchmark::State& state) {
    static HWND hwnd = DemoSizedWindow();
    HDC hdc = GetDC(hwnd);
    std::vector<std::uint8_t> frame(640 * 480 * 4, 255);
    for (auto _ : state) {
        TextOutA(hdc, 10, 10, "fps_MAX 812.3456", 16);
        TextOutA(hdc, 10, 30, "fps_Now 799.12345", 17);
        TextOutA(hdc, 10, 50, "\xC3\xCA\xB1\xE2\xB3\xF4\xC0\xCC 101.0000", 17);
        platform::PresentToWindow(hwnd, frame.data(), 640, 480);
    }
}
BENCHMARK(OverlayAndPresent)->Unit(benchmark::kMicrosecond);

void ComposedReadBack(benchmark::State& state) {
    static HWND hwnd = DemoSizedWindow();
    TextOutA(GetDC(hwnd), 10, 50, "\xC3\xCA\xB1\xE2\xB3\xF4\xC0\xCC 101.0000", 17);
    platform::Image image;
    for (auto _ : state) {
        platform::ReadClientImage(hwnd, &image);
        benchmark::DoNotOptimize(image.rgba.data());
    }
}
BENCHMARK(ComposedReadBack)->Unit(benchmark::kMicrosecond);

}  // namespace
