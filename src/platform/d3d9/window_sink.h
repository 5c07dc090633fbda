// How the software device reaches windows without knowing any window system: the window
// shell registers one sink that says whether a handle names a live window, gives its
// client size (a back buffer of size 0 takes it) and receives presented frames. Without a
// sink every handle counts as no window, so a device made with an explicit back-buffer
// size still draws, and Present answers D3DERR_INVALIDCALL.
#pragma once

#include "springdrop/system/types.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace d3d9sw {

// A presented frame's pixels, RGBA8 rows top to bottom, handed over without a copy: the
// window keeps a reference to the device's buffer, and neither writes it while both hold it.
using SharedPixels = std::shared_ptr<const std::vector<std::uint8_t>>;

struct WindowSink {
    bool (*isWindow)(HWND window);
    bool (*clientSize)(HWND window, UINT* width, UINT* height);
    void (*present)(HWND window, SharedPixels rgba, int width, int height);
};

// Registers `sink` for every device (null removes it). The sink must outlive its use.
void SetWindowSink(const WindowSink* sink);

// The registered sink's answers; with none, no window exists.
bool SinkIsWindow(HWND window);
bool SinkClientSize(HWND window, UINT* width, UINT* height);
void SinkPresent(HWND window, SharedPixels rgba, int width, int height);

}  // namespace d3d9sw
