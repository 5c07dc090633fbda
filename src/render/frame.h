// The frame timer and the text overlay of every frame: the highest and the current frame
// rate and the drop height, drawn with GDI on the window's device context.
#pragma once

#include "springdrop/shell/win32.h"

#include <cstddef>
#include <cstdint>

namespace render {

// Measures the time between ticks with the performance counter. Only the low 32 bits of
// the counts are used, so a wrap between two ticks still gives the right interval; the
// first tick measures from 0 and so yields a tiny rate.
class FrameTimer {
public:
    std::int64_t prevCount = 0;
    std::int64_t curCount = 0;
    std::int64_t frequency;
    float frameTime = 0.0f;
    float fps = 0.0f;

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

// Draws the three overlay lines at (10, 10), (10, 30) and (10, 50) of `hdc`.
void DrawOverlay(HDC hdc, float maxFps, float currentFps, float dropHeight);

}  // namespace render
