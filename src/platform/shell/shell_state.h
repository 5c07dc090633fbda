// Internal state of the window shell: the registered classes, the live windows with
// their presented frame and text runs, the thread's message queue and the idle hook.
// Only the shell's own files include this header (and white-box tests).
//
// Handles are small integers disguised as pointers, never addresses of live objects, so
// a stale handle is simply not found instead of dangling. A window's device context
// handle is derived from its window handle, so each window has exactly one.
#pragma once

#include "springdrop/system/names.h"
#include "springdrop/shell/shell.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform::detail {

struct DisplayWindow;  // the display backend's view of a shown window (display_backend.h)

// One TextOutA call whose text is still visible: the code points of its complete
// characters, drawn with its top-left corner at (x, y).
struct TextRun {
    int x = 0;
    int y = 0;
    std::u32string text;
};

// A frame as a window keeps it: possibly the very buffer a device presented.
struct SharedImage {
    int width = 0;
    int height = 0;
    SharedPixels rgba;
};

// Pixels drawn into in place: `height` rows of `width` RGBA8 pixels, `pitch` bytes apart
// (an image's rows, or a locked display texture's).
struct PixelRows {
    std::uint8_t* rgba = nullptr;
    int width = 0;
    int height = 0;
    std::size_t pitch = 0;
};

// The rows of `image`, to draw into.
inline PixelRows RowsOf(Image& image) {
    return PixelRows{image.rgba.data(), image.width, image.height, static_cast<std::size_t>(image.width) * 4};
}

struct WindowClass {
    std::string name;
    WNDPROC procedure = nullptr;
    UINT style = 0;
    ATOM atom = 0;
};

struct Window {
    HWND handle = nullptr;
    HDC deviceContext = nullptr;
    WNDPROC procedure = nullptr;
    std::string titleUtf8;
    DWORD style = 0;
    DWORD exStyle = 0;
    // Outer position on the screen, where a real window is placed.
    int x = 0;
    int y = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    bool visible = false;
    bool destroying = false;
    // Last presented frame at client size (white until the first present).
    SharedImage frame;
    // Current text runs keyed by (y, x): a new run at the same place replaces the old.
    std::map<std::pair<int, int>, TextRun> textRuns;
    // Non-null when the window is shown through the display backend.
    DisplayWindow* display = nullptr;
    // The display window shows an older composition than the current one.
    bool displayStale = false;
    // The value the owner keeps with GWLP_USERDATA.
    LONG_PTR userData = 0;
};

struct ShellState {
    Backend requestedBackend = Backend::Auto;
    Backend activeBackend = Backend::Headless;
    std::vector<WindowClass> classes;
    std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
    std::uintptr_t nextHandle = 0x1000;
    ATOM nextAtom = 0xC000;
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    std::function<void()> idleHook;
    std::function<void(HWND)> destroyHook;
};

ShellState& State();

// Makes the shell the software device's window sink (device_sink.cpp).
void RegisterDeviceSink();

// The live window for a handle, or null.
Window* FindWindow(HWND hwnd);
// The live window whose device context this is, or null.
Window* FindWindowByDeviceContext(HDC hdc);
// A fresh window handle value; never reused within the process.
std::uintptr_t NewHandleValue();
// The one device context handle of a window.
HDC DeviceContextHandleFor(HWND hwnd);

// Appends a message to the thread's queue.
void PostToQueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// lParam packing shared by injected and real input.
LPARAM MouseLParam(int x, int y);
LPARAM KeyDownLParam(bool isRepeat);
LPARAM KeyUpLParam();


}  // namespace platform::detail
