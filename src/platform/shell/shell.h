// Controls of the window shell that Win32 itself does not have: choosing the backend,
// hooking the idle moment of the message loop, injecting input as if it came from the
// user, reading back the composed client image and handing presented frames to a
// window; the counter's clock and loaded modules are the system part's controls, which
// this header includes. Launchers and tests use these; the system's own code above the
// platform never does.
#pragma once

#include "springdrop/d3d9/window_sink.h"
#include "springdrop/shell/win32.h"
#include "springdrop/system/system_controls.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class Backend {
    Auto,      // the display backend's window when a display can be opened, else headless
    Sdl,       // SDL2 window; falls back to headless when no display can be opened
    Headless,  // no display at all
    Web,       // the page's canvas (the WebAssembly build's display backend)
};

// Chooses the backend for windows created after the call.
void SetBackend(Backend backend);
// The backend the most recently created window actually uses (Sdl or Headless).
Backend ActiveBackend();
// Why a window asked for SDL got a headless one instead ("no display available", or
// "cannot open the display (...)"); empty when no such fallback happened. The shell
// prints nothing itself, so the program can say it once, in its own words.
std::string DisplayUnavailableReason();

// Called by PeekMessageA and GetMessageA each time they find the queue empty, before
// they report that. The hook may post messages (PostMessageA) or inject input; the
// message functions then look at the queue again. Returning normally with nothing
// posted lets the empty result through, which in the demo's loop means "a frame is
// about to be rendered". An empty function removes the hook.
void SetIdleHook(std::function<void()> hook);

// Called by DestroyWindow with the window's handle before the window gets WM_DESTROY,
// while its client image can still be read (a launcher keeps the final frame there). An
// empty function removes the hook.
void SetDestroyHook(std::function<void(HWND)> hook);

// Input as the user would make it; it lands in the queue of the window like real
// input: WM_KEYDOWN with the virtual-key code (repeat count 1 in lParam), and mouse
// messages with client x in the low and y in the high 16 bits of lParam.
void InjectKeyDown(HWND hwnd, UINT virtualKey);
void InjectMouse(HWND hwnd, UINT message, int x, int y);

// An RGBA8 image, rows top to bottom, 4 bytes per pixel (R, G, B, A).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// The client area as the user sees it: the last presented frame (white before the
// first present) with the GDI text drawn since composited over it. False for a window
// that does not exist.
bool ReadClientImage(HWND hwnd, Image* out);

// Pixels handed from a device to a window without a copy (RGBA8 rows, top to bottom).
using SharedPixels = d3d9sw::SharedPixels;

// Hands a presented frame to the window; SDL shows it scaled to the client area, a
// headless window keeps it for capture. A frame of the client's size is kept by
// reference; any other size is resampled to it.
void PresentToWindow(HWND hwnd, SharedPixels rgba, int width, int height);
// The same for pixels the caller keeps using: they are copied first.
void PresentToWindow(HWND hwnd, const std::uint8_t* rgba, int width, int height);

}  // namespace platform
