// The window shell's one state object.
#include "springdrop/shell/shell_state.h"

namespace platform::detail {

namespace {
// The device context handle sits one step above its window's handle; window handles
// are allocated in steps of four so the two ranges never meet.
constexpr std::uintptr_t kDeviceContextOffset = 1;
constexpr std::uintptr_t kHandleStep = 4;
}  // namespace

ShellState& State() {
    // Never destroyed: a window the program leaves open (quitting without destroying it)
    // stays owned by the shell, SDL window included, until the process ends.
    static ShellState* const state = [] {
        // Every window a device may be made for exists only after this, so devices learn
        // of windows from here on.
        RegisterDeviceSink();
        return new ShellState;
    }();
    return *state;
}

Window* FindWindow(HWND hwnd) {
    auto& windows = State().windows;
    auto found = windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
    return found == windows.end() ? nullptr : found->second.get();
}

Window* FindWindowByDeviceContext(HDC hdc) {
    auto value = reinterpret_cast<std::uintptr_t>(hdc);
    if (value % kHandleStep != kDeviceContextOffset) return nullptr;
    return FindWindow(reinterpret_cast<HWND>(value - kDeviceContextOffset));
}

std::uintptr_t NewHandleValue() {
    auto& state = State();
    std::uintptr_t value = state.nextHandle;
    state.nextHandle += kHandleStep;
    return value;
}

HDC DeviceContextHandleFor(HWND hwnd) {
    return reinterpret_cast<HDC>(reinterpret_cast<std::uintptr_t>(hwnd) + kDeviceContextOffset);
}

void PostToQueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    State().queue.push_back(msg);
}

LPARAM MouseLParam(int x, int y) {
    // Coordinates wrap to 16 bits, so a point left of or above the client area reads
    // back as a negative short.
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

LPARAM KeyDownLParam(bool isRepeat) {
    // Repeat count 1 in bits 0-15; bit 30 is the previous key state, set for repeats.
    return static_cast<LPARAM>(1u | (isRepeat ? (1u << 30) : 0u));
}

LPARAM KeyUpLParam() {
    // Repeat count 1, previous state down (bit 30), transition state up (bit 31).
    return static_cast<LPARAM>(static_cast<DWORD>(1u | (1u << 30) | (1u << 31)));
}

}  // namespace platform::detail
