// The main window's procedure. Handled messages answer 0; everything else goes to
// DefWindowProcA. W/S walk, A/D lift and lower the eye, a right-button drag turns the
// view (0.2 degrees per pixel), F1 rebuilds the body at the next drop height, Escape
// quits without shut-down, and destruction shuts down and then quits.
#pragma once

#include "win32/win32.h"

// Non-zero while a right-button drag is on, and the client position last recorded.
extern int g_rightDrag;
extern int g_lastMouseX;
extern int g_lastMouseY;

LRESULT WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
