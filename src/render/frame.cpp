// Frame timer and overlay.
#include "render/frame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace render {

namespace {

void DrawOverlayLine(HDC hdc, int x, int y, const char* format, float value) {
    OverlayBuffer buffer;
    const std::size_t length = FormatOverlayLine(buffer, format, value);
    TextOutA(hdc, x, y, buffer, static_cast<int>(length));
}

}  // namespace

const char kMaxRateFormat[] = "fps_MAX %f";
const char kCurrentRateFormat[] = "fps_Now %f";
// "초기높이 %f" in CP949.
const char kDropHeightFormat[] = "\xC3\xCA\xB1\xE2\xB3\xF4\xC0\xCC %f";

FrameTimer::FrameTimer() {
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

void DrawOverlay(HDC hdc, float maxFps, float currentFps, float dropHeight) {
    DrawOverlayLine(hdc, 10, 10, kMaxRateFormat, maxFps);
    DrawOverlayLine(hdc, 10, 30, kCurrentRateFormat, currentFps);
    DrawOverlayLine(hdc, 10, 50, kDropHeightFormat, dropHeight);
}

}  // namespace render
