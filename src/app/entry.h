// Program entry: the one window class, the 640 x 480 main window (whose creation message
// runs the whole start-up) and the message loop, which hands every waiting message to the
// window procedure and renders a frame whenever none is waiting.
#pragma once

#include "win32/win32.h"

extern int g_windowWidth;
extern int g_windowHeight;
extern RECT g_windowRect;
extern DWORD g_windowStyle;
extern DWORD g_windowExStyle;
extern HWND g_hwnd;
extern MSG g_msg;

// The class name and the title (CP949 bytes) of the main window.
extern const char kWindowClassName[];
extern const char kWindowTitle[];

// Runs the program; uses only `instance` and `cmdShow`. Returns 0 when the class or the
// window cannot be made, 1 when a static object is missing, else the quit message's code.
int WinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int cmdShow);

// Registers the window class; returns its atom widened to int, 0 on failure.
int RegisterWindowClass(HINSTANCE instance);

// Creates, shows and paints the main window; returns 1, or 0 when it cannot be created.
int CreateMainWindow(HINSTANCE instance, int cmdShow);
