// The SDL2 display backend of the window shell: opening the video subsystem when a
// display can be opened, one SDL window per shell window, translating SDL events into
// queued window messages, and showing a composed client image scaled to the window.
//
// Nothing here runs in headless mode: SDL video is initialised only by OpenDisplay.
#pragma once

#include "springdrop/shell/display_backend.h"

#include <SDL.h>

namespace platform::detail {

// The SDL window behind a display window, for tests that look at the real window.
SDL_Window* NativeWindow(DisplayWindow* display);

}  // namespace platform::detail
