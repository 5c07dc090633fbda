// Composition of a window's client image: the last presented frame with every current
// text run drawn over it, and keeping a real window's display up to date with it.
#pragma once

#include "springdrop/shell/shell_state.h"

namespace platform::detail {

// An opaque white image of the given size.
SharedImage WhiteImage(int width, int height);
// `source` resampled to width x height by nearest neighbour (source pixel
// floor(x * sourceWidth / width)); a same-size source is returned as it is, still shared.
SharedImage ScaleNearest(const SharedImage& source, int width, int height);

// The frame with all text runs drawn over it, at client size.
void ComposeClientImage(const Window& window, Image* out);

// Changes the client size, resampling the kept frame to it.
void ResizeClient(Window& window, int width, int height);

// Shows the composed image in the window's display window. Unless forced, a window that
// showed an image less than a frame interval ago is only marked stale; a later call
// (forced or not) or RefreshStaleDisplays shows it.
void RefreshDisplay(Window& window, bool force);
void RefreshStaleDisplays();

}  // namespace platform::detail
