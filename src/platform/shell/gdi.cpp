// Device contexts, stock objects, system icons and cursors, and text output. Each
// window has one device context with fixed defaults (black text on an opaque white
// background); TextOutA records a text run that the window's composition draws over
// the presented frame.
#include "springdrop/shell/composition.h"
#include "springdrop/shell/cp949.h"
#include "springdrop/shell/shell_state.h"

namespace {

// Dummy handles for objects the shell never draws with; distinct and non-null.
template <typename Handle>
Handle DummyHandle(std::uintptr_t kind, std::uintptr_t index) {
    return reinterpret_cast<Handle>((kind << 20) | (static_cast<std::uintptr_t>(index) << 2) | 2u);
}

}  // namespace

HDC GetDC(HWND hwnd) {
    const platform::detail::Window* window = platform::detail::FindWindow(hwnd);
    return window ? window->deviceContext : nullptr;
}

int ReleaseDC(HWND hwnd, HDC hdc) {
    const platform::detail::Window* window = platform::detail::FindWindow(hwnd);
    return window && window->deviceContext == hdc ? 1 : 0;
}

HGDIOBJ GetStockObject(int object) {
    if (object < 0) return nullptr;
    return DummyHandle<HGDIOBJ>(1, static_cast<std::uintptr_t>(object));
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
    return DummyHandle<HICON>(2, reinterpret_cast<std::uintptr_t>(name) & 0xFFFF);
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
    return DummyHandle<HCURSOR>(3, reinterpret_cast<std::uintptr_t>(name) & 0xFFFF);
}

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int byteCount) {
    platform::detail::Window* window = platform::detail::FindWindowByDeviceContext(hdc);
    if (!window || byteCount < 0 || (!text && byteCount > 0)) return FALSE;
    platform::detail::TextRun run;
    run.x = x;
    run.y = y;
    run.text = platform::detail::Cp949ToCodePoints(text, static_cast<std::size_t>(byteCount));
    window->textRuns[{y, x}] = std::move(run);
    // Without a device presenting frames the text alone must reach the screen.
    platform::detail::RefreshDisplay(*window, false);
    return TRUE;
}
