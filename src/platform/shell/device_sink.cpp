// The window shell as the software device's window sink: the device learns of windows and
// hands over presented frames only through this, so it needs no window system itself.
#include "springdrop/d3d9/window_sink.h"
#include "springdrop/shell/shell_state.h"

namespace platform::detail {

namespace {

bool SinkIsWindow(HWND window) { return FindWindow(window) != nullptr; }

bool SinkClientSize(HWND window, UINT* width, UINT* height) {
    const Window* found = FindWindow(window);
    if (found == nullptr) return false;
    *width = static_cast<UINT>(found->clientWidth);
    *height = static_cast<UINT>(found->clientHeight);
    return true;
}

constexpr d3d9sw::WindowSink kShellSink{SinkIsWindow, SinkClientSize, platform::PresentToWindow};

}  // namespace

void RegisterDeviceSink() { d3d9sw::SetWindowSink(&kShellSink); }

}  // namespace platform::detail
