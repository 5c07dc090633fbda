// Frame timer and frame sequence.
#include "render/frame.h"

#include "render/device_setup.h"
#include "sim/scene.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

float g_maxFps = 0.0f;
HDC g_hdc = nullptr;

namespace render {

constexpr float kStepSeconds = 0.01f;

namespace {

struct OverlayLine {
    int x, y;
    const char* format;
};

FrameObserver g_frameObserver;

void DrawOverlayLine(const OverlayLine& line, float value) {
    OverlayBuffer buffer;
    const std::size_t length = FormatOverlayLine(buffer, line.format, value);
    TextOutA(g_hdc, line.x, line.y, buffer, static_cast<int>(length));
}

}  // namespace

const char kMaxRateFormat[] = "fps_MAX %f";
const char kCurrentRateFormat[] = "fps_Now %f";
// "초기높이 %f" in CP949.
const char kDropHeightFormat[] = "\xC3\xCA\xB1\xE2\xB3\xF4\xC0\xCC %f";

FrameTimer::FrameTimer() : frameTime(0.0f), fps(0.0f) {
    LARGE_INTEGER counts;
    QueryPerformanceFrequency(&counts);
    frequency = counts.QuadPart;
}

float FrameTimer::Tick() {
    LARGE_INTEGER counts;
    QueryPerformanceCounter(&counts);
    curCount = counts.QuadPart;
    const std::uint32_t elapsed = static_cast<std::uint32_t>(curCount) - static_cast<std::uint32_t>(prevCount);
    const std::uint32_t countsPerSecond = static_cast<std::uint32_t>(frequency);
    frameTime = static_cast<float>(static_cast<double>(elapsed) / static_cast<double>(countsPerSecond));
    fps = 1.0f / frameTime;
    prevCount = curCount;
    return fps;
}

std::size_t FormatOverlayLine(OverlayBuffer& buffer, const char* format, float value) {
    std::snprintf(buffer, sizeof(buffer), format, static_cast<double>(value));
    return std::min(std::strlen(buffer), kOverlayByteLimit);
}

void SetFrameObserver(FrameObserver observer) { g_frameObserver = std::move(observer); }

bool BodyIsStepped() { return g_device != nullptr && g_body != nullptr && g_body->CanStep(); }

}  // namespace render

namespace {

// Clears to white, steps the body by the fixed 0.01 s whatever the frame rate, draws it
// and presents at once. Returns whether the body was stepped.
bool DrawScene() {
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFFFFFFFF, 1.0f, 0);
    g_device->BeginScene();
    const bool stepped = render::BodyIsStepped();
    if (stepped) {
        g_body->Step(render::kStepSeconds);
        g_body->Draw();
    }
    g_device->EndScene();
    g_device->Present(nullptr, nullptr, nullptr, nullptr);
    return stepped;
}

}  // namespace

void RenderFrame() {
    using namespace render;
    const float currentFps = g_timer.Tick();
    // An equal rate or a NaN leaves the maximum as it is.
    if (currentFps > g_maxFps) g_maxFps = currentFps;

    // The overlay goes straight onto the window's device context, before the frame.
    DrawOverlayLine({10, 10, kMaxRateFormat}, g_maxFps);
    DrawOverlayLine({10, 30, kCurrentRateFormat}, currentFps);
    DrawOverlayLine({10, 50, kDropHeightFormat}, g_dropHeight);

    const bool stepped = g_device != nullptr && DrawScene();
    if (g_frameObserver) g_frameObserver(stepped);
}
