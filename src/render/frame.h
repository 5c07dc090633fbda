// The frame timer and the frame sequence: tick the timer, draw the three overlay lines,
// then clear, step the body by 0.01 s, draw it and present.
#pragma once

#include "win32/win32.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace render {

// Measures the time between ticks with the performance counter. Only the low 32 bits of
// the counts are used, so a wrap between two ticks still gives the right interval; the
// first tick measures from 0 and so yields a tiny rate.
class FrameTimer {
public:
    std::int64_t prevCount;  // 0 until the first tick: the timer lives in zeroed static storage
    std::int64_t curCount;
    std::int64_t frequency;
    float frameTime;
    float fps;

    // Reads the counter frequency; does not read the counter.
    FrameTimer();
    // Reads the counter and returns the rate since the previous tick.
    float Tick();
};

// The overlay never draws more than 17 bytes of a line: a rate of 100 or more loses its
// last decimal, and the height line always loses two.
constexpr std::size_t kOverlayByteLimit = 17;
using OverlayBuffer = char[256];

// Formats `value` (widened to double) with `format` (one %f) into `buffer` and returns
// how many of its bytes the overlay draws: its length, at most 17.
std::size_t FormatOverlayLine(OverlayBuffer& buffer, const char* format, float value);

// The three overlay formats; the third is the CP949 label "초기높이" (8 bytes) and a blank.
extern const char kMaxRateFormat[];
extern const char kCurrentRateFormat[];
extern const char kDropHeightFormat[];

// True when RenderFrame steps the body: a device and a body whose arrays exist.
bool BodyIsStepped();

// Called at the end of every frame with whether the body was stepped in it; launchers
// count, trace and capture frames with it. An empty function removes it.
using FrameObserver = std::function<void(bool bodyStepped)>;
void SetFrameObserver(FrameObserver observer);

}  // namespace render

extern render::FrameTimer g_timer;
extern float g_maxFps;
extern HDC g_hdc;

// Renders one frame. With no device only the timer and the overlay run; with no usable
// body the target is cleared and presented but nothing is stepped or drawn.
void RenderFrame();
