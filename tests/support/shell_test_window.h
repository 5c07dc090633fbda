// Shared fixture pieces for the window shell's tests: a window procedure that records
// every message it receives, and a headless window whose client area has a chosen size.
#pragma once

#include "springdrop/shell/shell.h"
#include "springdrop/shell/win32.h"

#include <vector>

namespace win32_test {

struct ReceivedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<ReceivedMessage>& Received() {
    static std::vector<ReceivedMessage> received;
    return received;
}

inline LRESULT RecordingProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Received().push_back({hwnd, message, wParam, lParam});
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline std::vector<UINT> ReceivedCodes() {
    std::vector<UINT> codes;
    for (const auto& m : Received()) codes.push_back(m.message);
    return codes;
}

// A headless window of a freshly registered class whose client area is width x height.
inline HWND CreateHeadlessWindow(int width = 640, int height = 480, WNDPROC procedure = RecordingProcedure,
                                 LPCSTR className = "ShellTest") {
    platform::SetBackend(platform::Backend::Headless);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    RECT rect{0, 0, width, height};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    return CreateWindowExA(0, className, "test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace win32_test
