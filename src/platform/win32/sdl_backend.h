// The SDL2 side of the window shell: opening the video subsystem when a display can be
// opened, one SDL window per shell window, translating SDL events into queued window
// messages, and showing a composed client image scaled to the window.
//
// Nothing here runs in headless mode: SDL video is initialised only by OpenSdlVideo.
#pragma once

#include "win32/shell_state.h"

#include <SDL.h>

namespace platform::detail {

// Initialises SDL video once per process. False when no display can be opened (no
// DISPLAY or WAYLAND_DISPLAY, SDL fails, or it finds only a driver that shows nothing);
// DisplayUnavailableReason then says which.
bool OpenSdlVideo();

// A real window with the client size and title of `window`; null on failure.
SdlWindow* CreateSdlWindow(const Window& window);
void DestroySdlWindow(SdlWindow* sdl);
void SetSdlWindowVisible(SdlWindow* sdl, bool visible);
SDL_Window* NativeWindow(SdlWindow* sdl);

// Shows `composed` (RGBA8, any size) scaled to the window, creating the renderer on
// first use.
void DisplayImage(SdlWindow* sdl, const Image& composed);
// Milliseconds since the window last showed an image.
std::uint64_t MillisecondsSinceDisplay(const SdlWindow* sdl);

// Moves every pending SDL event into the message queue. No-op without SDL video.
void PumpSdlEvents();
// Waits up to `timeoutMs` for one SDL event and translates it; false without SDL video.
bool WaitForSdlEvent(int timeoutMs);

}  // namespace platform::detail
