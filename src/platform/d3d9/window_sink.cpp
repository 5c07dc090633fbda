// The registered window sink.
#include "springdrop/d3d9/window_sink.h"

#include <utility>

namespace d3d9sw {

namespace {

const WindowSink* g_sink = nullptr;

}  // namespace

void SetWindowSink(const WindowSink* sink) { g_sink = sink; }

bool SinkIsWindow(HWND window) { return g_sink != nullptr && window != nullptr && g_sink->isWindow(window); }

bool SinkClientSize(HWND window, UINT* width, UINT* height) {
    return SinkIsWindow(window) && g_sink->clientSize(window, width, height);
}

void SinkPresent(HWND window, SharedPixels rgba, int width, int height) {
    if (SinkIsWindow(window)) g_sink->present(window, std::move(rgba), width, height);
}

}  // namespace d3d9sw
