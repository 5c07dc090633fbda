// The main window's procedure. Handled messages answer 0; everything else goes to
// DefWindowProcA. W/S walk, A/D lift and lower the eye, a right-button drag turns the
// view (0.2 degrees per pixel), F1 rebuilds the body at the next drop height, Escape
// quits without shut-down, and destruction shuts down and then quits.
//
// The demo arrives with the creation message (the last argument of CreateWindowExA) and
// stays in the window's user data; messages before it and windows without one go to the
// default handling.
#pragma once

#include "springdrop/shell/win32.h"

namespace app {

LRESULT WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace app
