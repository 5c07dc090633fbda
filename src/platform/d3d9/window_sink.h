// How the software device reaches windows without knowing any window system: the window
// shell registers one sink that says whether a handle names a live window, gives its
// client size (a back buffer of size 0 takes it) and receives presented frames. Without a
// sink every handle counts as no window, so a device made with an explicit back-buffer
// size still draws, and Present answers D3DERR_INVALIDCALL.
#pragma once

#include "win32/types.h"

#include <cstdint>

namespace d3d9sw {

struct WindowSink {
    bool (*isWindow)(HWND window);
    bool (*clientSize)(HWND window, UINT* width, UINT* height);
    // RGBA8 rows, top to bottom.
    void (*present)(HWND window, const std::uint8_t* rgba, int width, int height);
};

// Registers `sink` for every device (null removes it). The sink must outlive its use.
void SetWindowSink(const WindowSink* sink);

// The registered sink's answers; with none, no window exists.
bool SinkIsWindow(HWND window);
bool SinkClientSize(HWND window, UINT* width, UINT* height);
void SinkPresent(HWND window, const std::uint8_t* rgba, int width, int height);

}  // namespace d3d9sw
