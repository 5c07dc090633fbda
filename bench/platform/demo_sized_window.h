// A window whose client area is the demo's 640 × 480, on the given backend, for the
// window shell's benches. Null when it cannot be created.
#pragma once

#include "springdrop/shell/shell.h"

namespace bench_support {

inline LRESULT QuietProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline HWND DemoSizedWindow(platform::Backend backend, const char* className) {
    platform::SetBackend(backend);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = QuietProcedure;
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    RECT rect{0, 0, 640, 480};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    return CreateWindowExA(0, className, "bench", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace bench_support
