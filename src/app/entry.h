// Program entry: the one window class, the 640 x 480 main window (whose creation message
// runs the whole start-up) and the message loop, which hands every waiting message to the
// window procedure and renders a frame whenever none is waiting.
#pragma once

#include "app/demo.h"
#include "springdrop/shell/win32.h"

namespace app {

// The class name and the title (CP949 bytes) of the main window.
extern const char kWindowClassName[];
extern const char kWindowTitle[];

// The start-up on `demo` (fresh, or with only its frame observer set): allocates the
// camera, transform set and body, registers the class and makes the window, whose
// creation message builds the scene. A failed allocation has named itself on standard
// error already.
enum class StartResult { Started, OutOfMemory, NoWindow };
StartResult StartDemo(Demo& demo, HINSTANCE instance, int cmdShow);

// What WinMain returns for a start-up that failed: 1 when an allocation failed, 0 when
// the class or the window could not be made.
int FailedStartCode(StartResult result);

// Runs the demo on `demo`: the start-up, then the loop until the quit message. Returns
// FailedStartCode when the start-up fails, else the quit message's code.
int RunDemo(Demo& demo, HINSTANCE instance, int cmdShow);

// One turn of the message loop: the waiting message handed to the window procedure, or a
// frame rendered when none is waiting; Quit once the quit message has arrived. A page
// that draws one frame per animation frame runs turns until one renders a frame.
enum class LoopTurn { Message, Frame, Quit };
LoopTurn RunLoopTurn(Demo& demo);

// Registers the window class; returns its atom widened to int, 0 on failure.
int RegisterWindowClass(Demo& demo, HINSTANCE instance);

// Creates, shows and paints the main window; returns 1, or 0 when it cannot be created.
int CreateMainWindow(Demo& demo, HINSTANCE instance, int cmdShow);

}  // namespace app

// The program as the platform starts it: uses only `instance` and `cmdShow`, and runs a
// demo of its own.
int WinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int cmdShow);
