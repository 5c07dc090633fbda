// One frame, start to end, in the order it always runs: tick the timer and keep the
// highest rate, draw the overlay on the window's device context, clear the target, depth
// and stencil, step the body by 0.01 s, draw it, present at once, then let the observer
// see the finished frame. The overlay is composited over whatever was presented, so it
// shows on top although it is drawn first.
#pragma once

#include "app/demo.h"

namespace app {

// True when RenderFrame steps the body: a device and a body whose arrays exist.
bool BodyIsStepped(const Demo& demo);

// Renders one frame. With no device only the timer and the overlay run; with no usable
// body the target is cleared and presented but nothing is stepped or drawn.
void RenderFrame(Demo& demo);

}  // namespace app
