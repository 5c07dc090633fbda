// The page's display backend of the window shell: a window is shown on the page's
// canvas (element id "canvas"), presented frames are put into it unscaled, and the
// browser's key and mouse events on it are queued as the same window messages SDL
// input makes on the desktop. The page drives frames itself, so nothing here waits.
#include "springdrop/shell/web/dom_keys.h"
#include "springdrop/shell/display_backend.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform::detail {

struct DisplayWindow {
    HWND handle = nullptr;
    double lastDisplayMs = 0.0;
    // The composed image shown last, RGBA8 rows.
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
};

namespace {

constexpr const char* kCanvas = "#canvas";
// The one window on the canvas; input goes to it.
DisplayWindow* g_shown = nullptr;
std::string g_unavailableReason;

// clang-format off
EM_JS(int, CanvasPresent, (), {
    return document.getElementById('canvas') ? 1 : 0;
});

EM_JS(void, PrepareCanvas, (const char* title), {
    const canvas = document.getElementById('canvas');
    // The right button drags the view; the browser's menu must not open on it.
    canvas.addEventListener('contextmenu', (event) => event.preventDefault());
    document.title = UTF8ToString(title);
});

EM_JS(void, SetCanvasVisible, (int visible), {
    document.getElementById('canvas').style.visibility = visible ? 'visible' : 'hidden';
});

EM_JS(void, PutCanvasImage, (const unsigned char* rgba, int width, int height), {
    const canvas = document.getElementById('canvas');
    if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
    }
    const pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
});
// clang-format on

UINT ButtonMessage(unsigned short button, bool down) {
    switch (button) {
        case 0: return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        case 1: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        case 2: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        default: return WM_NULL;
    }
}

WPARAM MouseKeyState(unsigned short buttons) {
    // The DOM numbers held buttons 1 left, 2 right, 4 middle.
    WPARAM state = 0;
    if (buttons & 1) state |= MK_LBUTTON;
    if (buttons & 2) state |= MK_RBUTTON;
    if (buttons & 4) state |= MK_MBUTTON;
    return state;
}

EM_BOOL OnKey(int eventType, const EmscriptenKeyboardEvent* event, void*) {
    if (!g_shown) return EM_FALSE;
    const UINT key = VirtualKeyFromDomCode(event->code);
    if (key == 0) return EM_FALSE;
    if (eventType == EMSCRIPTEN_EVENT_KEYDOWN)
        PostToQueue(g_shown->handle, WM_KEYDOWN, key, KeyDownLParam(event->repeat != 0));
    else
        PostToQueue(g_shown->handle, WM_KEYUP, key, KeyUpLParam());
    // Browser shortcuts (with Ctrl, Alt or Meta) keep working; the demo's own keys, F1
    // among them, do not also trigger the browser.
    return event->ctrlKey || event->altKey || event->metaKey ? EM_FALSE : EM_TRUE;
}

EM_BOOL OnMouse(int eventType, const EmscriptenMouseEvent* event, void*) {
    if (!g_shown) return EM_FALSE;
    const int x = static_cast<int>(event->targetX);
    const int y = static_cast<int>(event->targetY);
    UINT message = WM_MOUSEMOVE;
    if (eventType == EMSCRIPTEN_EVENT_MOUSEDOWN) message = ButtonMessage(event->button, true);
    if (eventType == EMSCRIPTEN_EVENT_MOUSEUP) message = ButtonMessage(event->button, false);
    if (message == WM_NULL) return EM_FALSE;
    PostToQueue(g_shown->handle, message, MouseKeyState(event->buttons), MouseLParam(x, y));
    return EM_TRUE;
}

void ListenForInput() {
    static bool listening = false;
    if (listening) return;
    listening = true;
    // Keys anywhere on the page, as the desktop window has the focus; the mouse only on
    // the canvas, as only the client area reports it.
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnKey);
    emscripten_set_mousedown_callback(kCanvas, nullptr, EM_TRUE, OnMouse);
    emscripten_set_mouseup_callback(kCanvas, nullptr, EM_TRUE, OnMouse);
    emscripten_set_mousemove_callback(kCanvas, nullptr, EM_TRUE, OnMouse);
}

}  // namespace

Backend DisplayBackendKind() { return Backend::Web; }

bool OpenDisplay() {
    if (CanvasPresent()) return true;
    g_unavailableReason = "the page has no canvas with id \"canvas\"";
    return false;
}

DisplayWindow* CreateDisplayWindow(const Window& window) {
    // One canvas shows one window; a second window stays headless.
    if (g_shown) return nullptr;
    PrepareCanvas(window.titleUtf8.c_str());
    ListenForInput();
    g_shown = new DisplayWindow;
    g_shown->handle = window.handle;
    return g_shown;
}

void DestroyDisplayWindow(DisplayWindow* display) {
    if (!display) return;
    if (display == g_shown) g_shown = nullptr;
    delete display;
}

void SetDisplayWindowVisible(DisplayWindow*, bool visible) { SetCanvasVisible(visible ? 1 : 0); }

// The image is composed into the window's own buffer and put on the canvas from there.
PixelRows BeginDisplay(DisplayWindow* display, int width, int height) {
    display->lastDisplayMs = emscripten_get_now();
    if (width <= 0 || height <= 0) return PixelRows{};
    display->pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    display->width = width;
    display->height = height;
    return PixelRows{display->pixels.data(), width, height, static_cast<std::size_t>(width) * 4};
}

void EndDisplay(DisplayWindow* display) { PutCanvasImage(display->pixels.data(), display->width, display->height); }

std::uint64_t MillisecondsSinceDisplay(const DisplayWindow* display) {
    return static_cast<std::uint64_t>(emscripten_get_now() - display->lastDisplayMs);
}

// Browser events arrive between frames and are queued as they come.
void PumpDisplayEvents() {}

bool WaitForDisplayEvent(int) { return false; }

}  // namespace platform::detail

namespace platform {

std::string DisplayUnavailableReason() { return detail::g_unavailableReason; }

}  // namespace platform
