// The desktop display backend: SDL2 windows, their events and the scaled presentation.
#include "springdrop/shell/sdl/sdl_backend.h"

#include "springdrop/shell/composition.h"
#include "springdrop/shell/sdl/virtual_keys.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace platform::detail {

struct DisplayWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0;
    int textureHeight = 0;
    Uint32 id = 0;
    std::uint64_t lastDisplayTicks = 0;
};

namespace {

enum class VideoState { Untried, Open, Unavailable };
VideoState g_video = VideoState::Untried;
std::string g_unavailableReason;

bool DisplayVariableSet() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

Window* WindowForSdlId(Uint32 id) {
    for (auto& [value, window] : State().windows) {
        if (window->display && window->display->id == id) return window.get();
    }
    return nullptr;
}

WPARAM MouseKeyState(Uint32 buttons) {
    WPARAM state = 0;
    if (buttons & SDL_BUTTON(SDL_BUTTON_LEFT)) state |= MK_LBUTTON;
    if (buttons & SDL_BUTTON(SDL_BUTTON_RIGHT)) state |= MK_RBUTTON;
    if (buttons & SDL_BUTTON(SDL_BUTTON_MIDDLE)) state |= MK_MBUTTON;
    return state;
}

UINT ButtonMessage(Uint8 button, bool down) {
    switch (button) {
        case SDL_BUTTON_LEFT: return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        case SDL_BUTTON_RIGHT: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        case SDL_BUTTON_MIDDLE: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        default: return WM_NULL;
    }
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
    Window* window = WindowForSdlId(event.windowID);
    if (!window) return;
    switch (event.event) {
        case SDL_WINDOWEVENT_CLOSE:
            PostToQueue(window->handle, WM_CLOSE, 0, 0);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (event.data1 > 0 && event.data2 > 0 &&
                (event.data1 != window->clientWidth || event.data2 != window->clientHeight)) {
                ResizeClient(*window, event.data1, event.data2);
                PostToQueue(window->handle, WM_SIZE, 0,
                            MAKELPARAM(static_cast<WORD>(event.data1), static_cast<WORD>(event.data2)));
            }
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            RefreshDisplay(*window, true);
            break;
        default:
            break;
    }
}

void TranslateEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_WINDOWEVENT:
            TranslateWindowEvent(event.window);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            Window* window = WindowForSdlId(event.key.windowID);
            UINT key = VirtualKeyFromSdlKey(event.key.keysym.sym);
            if (!window || key == 0) break;
            if (event.type == SDL_KEYDOWN)
                PostToQueue(window->handle, WM_KEYDOWN, key, KeyDownLParam(event.key.repeat != 0));
            else
                PostToQueue(window->handle, WM_KEYUP, key, KeyUpLParam());
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            Window* window = WindowForSdlId(event.button.windowID);
            UINT message = ButtonMessage(event.button.button, event.type == SDL_MOUSEBUTTONDOWN);
            if (!window || message == WM_NULL) break;
            PostToQueue(window->handle, message, MouseKeyState(SDL_GetMouseState(nullptr, nullptr)),
                        MouseLParam(event.button.x, event.button.y));
            break;
        }
        case SDL_MOUSEMOTION: {
            Window* window = WindowForSdlId(event.motion.windowID);
            if (!window) break;
            PostToQueue(window->handle, WM_MOUSEMOVE, MouseKeyState(event.motion.state),
                        MouseLParam(event.motion.x, event.motion.y));
            break;
        }
        default:
            break;
    }
}

bool EnsureTexture(DisplayWindow* sdl, int width, int height) {
    if (!sdl->renderer) {
        sdl->renderer = SDL_CreateRenderer(sdl->window, -1, SDL_RENDERER_SOFTWARE);
        if (!sdl->renderer) return false;
    }
    if (sdl->texture && sdl->textureWidth == width && sdl->textureHeight == height) return true;
    if (sdl->texture) SDL_DestroyTexture(sdl->texture);
    sdl->texture = SDL_CreateTexture(sdl->renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STREAMING,
                                     width, height);
    sdl->textureWidth = sdl->texture ? width : 0;
    sdl->textureHeight = sdl->texture ? height : 0;
    return sdl->texture != nullptr;
}

}  // namespace

Backend DisplayBackendKind() { return Backend::Sdl; }

bool OpenDisplay() {
    if (g_video != VideoState::Untried) return g_video == VideoState::Open;
    g_video = VideoState::Unavailable;
    if (!DisplayVariableSet()) {
        g_unavailableReason = "no display available";
        return false;
    }
    // A right-button drag must not capture the pointer, and Ctrl+C must stay a signal.
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Only the display the environment names is tried, so an unreachable X server is
    // not followed by a Wayland attempt that complains on stderr.
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!(wayland && *wayland)) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // The window surface is written directly; SDL's default on X11 would route it through
    // an OpenGL texture, a second full-frame pass per present.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        g_unavailableReason = std::string("cannot open the display (") + SDL_GetError() + ")";
        return false;
    }
    // SDL may settle for a driver that shows nothing; that is no display either.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        g_unavailableReason = "cannot open the display (no usable video driver)";
        return false;
    }
    g_video = VideoState::Open;
    return true;
}

DisplayWindow* CreateDisplayWindow(const Window& window) {
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (window.style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    SDL_Window* native = SDL_CreateWindow(window.titleUtf8.c_str(), window.x, window.y, window.clientWidth,
                                          window.clientHeight, flags);
    if (!native) return nullptr;
    auto* sdl = new DisplayWindow;
    sdl->window = native;
    sdl->id = SDL_GetWindowID(native);
    return sdl;
}

void DestroyDisplayWindow(DisplayWindow* sdl) {
    if (!sdl) return;
    if (sdl->texture) SDL_DestroyTexture(sdl->texture);
    if (sdl->renderer) SDL_DestroyRenderer(sdl->renderer);
    SDL_DestroyWindow(sdl->window);
    delete sdl;
}

void SetDisplayWindowVisible(DisplayWindow* sdl, bool visible) {
    if (visible)
        SDL_ShowWindow(sdl->window);
    else
        SDL_HideWindow(sdl->window);
}

SDL_Window* NativeWindow(DisplayWindow* sdl) { return sdl ? sdl->window : nullptr; }

PixelRows BeginDisplay(DisplayWindow* sdl, int width, int height) {
    sdl->lastDisplayTicks = SDL_GetTicks64();
    void* pixels = nullptr;
    int pitch = 0;
    if (width <= 0 || height <= 0 || !EnsureTexture(sdl, width, height) ||
        SDL_LockTexture(sdl->texture, nullptr, &pixels, &pitch) != 0)
        return PixelRows{};
    return PixelRows{static_cast<std::uint8_t*>(pixels), width, height, static_cast<std::size_t>(pitch)};
}

void EndDisplay(DisplayWindow* sdl) {
    SDL_UnlockTexture(sdl->texture);
    SDL_RenderClear(sdl->renderer);
    SDL_RenderCopy(sdl->renderer, sdl->texture, nullptr, nullptr);
    SDL_RenderPresent(sdl->renderer);
}

std::uint64_t MillisecondsSinceDisplay(const DisplayWindow* sdl) {
    return SDL_GetTicks64() - sdl->lastDisplayTicks;
}

void PumpDisplayEvents() {
    if (g_video != VideoState::Open) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) TranslateEvent(event);
    RefreshStaleDisplays();
}

bool WaitForDisplayEvent(int timeoutMs) {
    if (g_video != VideoState::Open) return false;
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, timeoutMs)) TranslateEvent(event);
    RefreshStaleDisplays();
    return true;
}

}  // namespace platform::detail

namespace platform {

std::string DisplayUnavailableReason() { return detail::g_unavailableReason; }

}  // namespace platform
