// The backend that shows a shell window to a person: an SDL2 window in the native build,
// the page's canvas in the WebAssembly build. Exactly one implementation is linked, and
// the shell reaches it only through these functions; a headless window has no display
// window at all.
#pragma once

#include "springdrop/shell/shell_state.h"

#include <cstdint>

namespace platform::detail {

// What ActiveBackend reports for a window that has a display window.
Backend DisplayBackendKind();

// Opens the display once per process. False when there is none to open; windows then
// fall back to headless and DisplayUnavailableReason (shell.h) says why.
bool OpenDisplay();

// A display window with the client size and title of `window`; null on failure.
DisplayWindow* CreateDisplayWindow(const Window& window);
void DestroyDisplayWindow(DisplayWindow* display);
void SetDisplayWindowVisible(DisplayWindow* display, bool visible);

// Shows an image scaled to the display window in one upload: BeginDisplay hands out the
// window's pixels, sized width x height, to compose the image in place (none when that
// fails), EndDisplay shows them.
PixelRows BeginDisplay(DisplayWindow* display, int width, int height);
void EndDisplay(DisplayWindow* display);
// Milliseconds since the display window last showed an image.
std::uint64_t MillisecondsSinceDisplay(const DisplayWindow* display);

// Moves every pending input event into the message queue. No-op without a display.
void PumpDisplayEvents();
// Waits up to `timeoutMs` for one input event and translates it; false when the backend
// cannot wait (no display, or a page that must not block).
bool WaitForDisplayEvent(int timeoutMs);

}  // namespace platform::detail
