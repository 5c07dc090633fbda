// Window classes and windows: registration, creation with the creation message sent
// inside the call, frame metrics, showing, destruction with its messages sent
// synchronously, and the default window procedure.
#include "springdrop/shell/composition.h"
#include "springdrop/shell/cp949.h"
#include "springdrop/shell/display_backend.h"
#include "springdrop/shell/shell_state.h"

#include <algorithm>
#include <cstring>

namespace {

using platform::detail::State;
using platform::detail::Window;

// Fixed frame metrics: a sizing border of 8 px, a thin border of 1 px, a 23 px caption
// and a 20 px menu bar.
constexpr LONG kSizingBorder = 8;
constexpr LONG kThinBorder = 1;
constexpr LONG kCaption = 23;
constexpr LONG kMenuBar = 20;
constexpr DWORD kBorderStyle = 0x00800000;  // WS_BORDER, part of WS_CAPTION

// Where a window goes when its creator leaves the choice to the shell.
constexpr int kDefaultX = 64;
constexpr int kDefaultY = 64;
constexpr int kDefaultClientWidth = 640;
constexpr int kDefaultClientHeight = 480;

RECT FrameInsets(DWORD style, BOOL menu) {
    LONG border = 0;
    if (style & WS_THICKFRAME)
        border = kSizingBorder;
    else if (style & kBorderStyle)
        border = kThinBorder;
    LONG top = border;
    if ((style & WS_CAPTION) == WS_CAPTION) top += kCaption;
    if (menu) top += kMenuBar;
    return RECT{border, top, border, border};
}

const platform::detail::WindowClass* FindClass(LPCSTR name) {
    if (!name) return nullptr;
    for (const auto& windowClass : State().classes) {
        if (platform::detail::EqualsIgnoringCase(windowClass.name, name)) return &windowClass;
    }
    return nullptr;
}

void AttachBackend(Window& window) {
    auto& state = State();
    state.activeBackend = platform::Backend::Headless;
    if (state.requestedBackend == platform::Backend::Headless || !platform::detail::OpenDisplay()) return;
    window.display = platform::detail::CreateDisplayWindow(window);
    if (window.display) state.activeBackend = platform::detail::DisplayBackendKind();
}

}  // namespace

namespace platform {

void SetBackend(Backend backend) { detail::State().requestedBackend = backend; }

void SetDestroyHook(std::function<void(HWND)> hook) { detail::State().destroyHook = std::move(hook); }

Backend ActiveBackend() { return detail::State().activeBackend; }

}  // namespace platform

ATOM RegisterClassA(const WNDCLASSA* wndClass) {
    if (!wndClass || !wndClass->lpfnWndProc || !wndClass->lpszClassName || !*wndClass->lpszClassName) return 0;
    if (FindClass(wndClass->lpszClassName)) return 0;
    auto& state = State();
    platform::detail::WindowClass registered;
    registered.name = wndClass->lpszClassName;
    registered.procedure = wndClass->lpfnWndProc;
    registered.style = wndClass->style;
    registered.atom = state.nextAtom++;
    state.classes.push_back(registered);
    return registered.atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    auto& classes = State().classes;
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (className && platform::detail::EqualsIgnoringCase(it->name, className)) {
            classes.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD) {
    if (!rect) return FALSE;
    RECT insets = FrameInsets(style, menu);
    rect->left -= insets.left;
    rect->top -= insets.top;
    rect->right += insets.right;
    rect->bottom += insets.bottom;
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    const auto* windowClass = FindClass(className);
    if (!windowClass) return nullptr;

    auto owned = std::make_unique<Window>();
    Window& window = *owned;
    const std::uintptr_t value = platform::detail::NewHandleValue();
    window.handle = reinterpret_cast<HWND>(value);
    window.deviceContext = platform::detail::DeviceContextHandleFor(window.handle);
    window.procedure = windowClass->procedure;
    window.style = style;
    window.exStyle = exStyle;
    window.titleUtf8 = windowName ? platform::detail::Cp949ToUtf8(windowName, std::strlen(windowName)) : "";
    window.x = x == CW_USEDEFAULT ? kDefaultX : x;
    window.y = y == CW_USEDEFAULT || x == CW_USEDEFAULT ? kDefaultY : y;
    RECT insets = FrameInsets(style, menu != nullptr);
    if (width == CW_USEDEFAULT) {
        window.clientWidth = kDefaultClientWidth;
        window.clientHeight = kDefaultClientHeight;
    } else {
        window.clientWidth = std::max(0, width - insets.left - insets.right);
        window.clientHeight = std::max(0, height - insets.top - insets.bottom);
    }
    window.frame = platform::detail::WhiteImage(window.clientWidth, window.clientHeight);
    State().windows.emplace(value, std::move(owned));

    AttachBackend(window);

    // The creation message arrives before the call returns; -1 refuses the window.
    CREATESTRUCTA creation{param,
                           instance,
                           menu,
                           parent,
                           height,
                           width,
                           window.y,
                           window.x,
                           static_cast<LONG>(style),
                           windowName,
                           className,
                           exStyle};
    if (window.procedure(window.handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&creation)) == -1) {
        DestroyWindow(reinterpret_cast<HWND>(value));
        return nullptr;
    }
    Window* created = platform::detail::FindWindow(reinterpret_cast<HWND>(value));
    if (!created) return nullptr;  // the procedure destroyed it during creation
    created->procedure(created->handle, WM_SIZE, 0,
                       MAKELPARAM(static_cast<WORD>(created->clientWidth), static_cast<WORD>(created->clientHeight)));
    if (style & WS_VISIBLE) ShowWindow(reinterpret_cast<HWND>(value), SW_SHOW);
    return reinterpret_cast<HWND>(value);
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
    Window* window = platform::detail::FindWindow(hwnd);
    if (!window) return FALSE;
    const BOOL wasVisible = window->visible ? TRUE : FALSE;
    window->visible = cmdShow != SW_HIDE;
    if (window->display) {
        platform::detail::SetDisplayWindowVisible(window->display, window->visible);
        if (window->visible) platform::detail::RefreshDisplay(*window, true);
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND hwnd) {
    Window* window = platform::detail::FindWindow(hwnd);
    if (!window) return FALSE;
    platform::detail::RefreshDisplay(*window, true);
    return TRUE;
}

BOOL DestroyWindow(HWND hwnd) {
    Window* window = platform::detail::FindWindow(hwnd);
    if (!window || window->destroying) return FALSE;
    window->destroying = true;
    if (auto hook = State().destroyHook) hook(hwnd);
    const WNDPROC procedure = window->procedure;
    procedure(hwnd, WM_DESTROY, 0, 0);
    procedure(hwnd, WM_NCDESTROY, 0, 0);

    auto& state = State();
    // Messages still queued for the window go with it.
    std::erase_if(state.queue, [hwnd](const MSG& msg) { return msg.hwnd == hwnd; });
    auto found = state.windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
    platform::detail::DestroyDisplayWindow(found->second->display);
    state.windows.erase(found);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return platform::detail::FindWindow(hwnd) ? TRUE : FALSE; }

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    const Window* window = platform::detail::FindWindow(hwnd);
    if (!window || !rect) return FALSE;
    *rect = RECT{0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    const Window* window = platform::detail::FindWindow(hwnd);
    return window != nullptr && index == GWLP_USERDATA ? window->userData : 0;
}

// Answers the previous value, as Win32 does.
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Window* window = platform::detail::FindWindow(hwnd);
    if (window == nullptr || index != GWLP_USERDATA) return 0;
    const LONG_PTR previous = window->userData;
    window->userData = value;
    return previous;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) DestroyWindow(hwnd);
    return 0;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const Window* window = platform::detail::FindWindow(hwnd);
    if (!window) return 0;
    return window->procedure(hwnd, message, wParam, lParam);
}
