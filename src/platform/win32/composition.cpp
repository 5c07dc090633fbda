#include "win32/composition.h"

#include "win32/display_backend.h"
#include "win32/text_renderer.h"

#include <utility>

namespace platform::detail {

namespace {
// A window that is only written text (no device presenting) is redrawn at most this
// often, so a loop drawing text hundreds of times a second stays cheap.
constexpr std::uint64_t kDisplayIntervalMs = 16;
}  // namespace

Image WhiteImage(int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    image.rgba.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 255);
    return image;
}

Image ScaleNearest(const Image& source, int width, int height) {
    if (source.width == width && source.height == height) return source;
    Image scaled;
    scaled.width = width;
    scaled.height = height;
    scaled.rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (int y = 0; y < height; ++y) {
        auto sy = static_cast<std::size_t>(static_cast<std::int64_t>(y) * source.height / height);
        for (int x = 0; x < width; ++x) {
            auto sx = static_cast<std::size_t>(static_cast<std::int64_t>(x) * source.width / width);
            const std::uint8_t* from = &source.rgba[(sy * static_cast<std::size_t>(source.width) + sx) * 4];
            std::uint8_t* to = &scaled.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                             static_cast<std::size_t>(x)) * 4];
            for (int c = 0; c < 4; ++c) to[c] = from[c];
        }
    }
    return scaled;
}

void ComposeClientImage(const Window& window, Image* out) {
    *out = window.frame;
    if (window.textRuns.empty()) return;
    TextRenderer& text = GdiTextRenderer();
    for (const auto& [position, run] : window.textRuns) text.Draw(*out, run.x, run.y, run.text);
}

void ResizeClient(Window& window, int width, int height) {
    window.clientWidth = width;
    window.clientHeight = height;
    window.frame = ScaleNearest(window.frame, width, height);
}

void RefreshDisplay(Window& window, bool force) {
    if (!window.display) return;
    if (!force && MillisecondsSinceDisplay(window.display) < kDisplayIntervalMs) {
        window.displayStale = true;
        return;
    }
    Image composed;
    ComposeClientImage(window, &composed);
    DisplayImage(window.display, composed);
    window.displayStale = false;
}

void RefreshStaleDisplays() {
    for (auto& [value, window] : State().windows) {
        if (window->displayStale) RefreshDisplay(*window, false);
    }
}

}  // namespace platform::detail

namespace platform {

bool ReadClientImage(HWND hwnd, Image* out) {
    const detail::Window* window = detail::FindWindow(hwnd);
    if (!window || !out) return false;
    detail::ComposeClientImage(*window, out);
    return true;
}

void PresentToWindow(HWND hwnd, const std::uint8_t* rgba, int width, int height) {
    detail::Window* window = detail::FindWindow(hwnd);
    if (!window || !rgba || width <= 0 || height <= 0) return;
    Image presented;
    presented.width = width;
    presented.height = height;
    presented.rgba.assign(rgba, rgba + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    if (width == window->clientWidth && height == window->clientHeight)
        window->frame = std::move(presented);
    else
        window->frame = detail::ScaleNearest(presented, window->clientWidth, window->clientHeight);
    detail::RefreshDisplay(*window, true);
}

}  // namespace platform
