// Composing a window's client image from its last frame and its text runs.
#include "springdrop/shell/composition.h"

#include "springdrop/shell/display_backend.h"
#include "springdrop/shell/text_renderer.h"

#include <cstring>
#include <utility>

namespace platform::detail {

namespace {
// A window that is only written text (no device presenting) is redrawn at most this
// often, so a loop drawing text hundreds of times a second stays cheap.
constexpr std::uint64_t kDisplayIntervalMs = 16;

// The frame with the text runs drawn over it, written into `target` (of the frame's size).
void ComposeInto(const Window& window, const PixelRows& target) {
    const SharedImage& frame = window.frame;
    const std::size_t rowBytes = static_cast<std::size_t>(frame.width) * 4;
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(target.rgba + static_cast<std::size_t>(y) * target.pitch,
                    frame.rgba->data() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    if (window.textRuns.empty()) return;
    TextRenderer& text = GdiTextRenderer();
    for (const auto& [position, run] : window.textRuns) text.Draw(target, run.x, run.y, run.text);
}
}  // namespace

SharedImage WhiteImage(int width, int height) {
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    return SharedImage{width, height, std::make_shared<const std::vector<std::uint8_t>>(bytes, 255)};
}

SharedImage ScaleNearest(const SharedImage& source, int width, int height) {
    if (source.width == width && source.height == height) return source;
    auto scaled = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(width) *
                                                              static_cast<std::size_t>(height) * 4);
    for (int y = 0; y < height; ++y) {
        auto sy = static_cast<std::size_t>(static_cast<std::int64_t>(y) * source.height / height);
        for (int x = 0; x < width; ++x) {
            auto sx = static_cast<std::size_t>(static_cast<std::int64_t>(x) * source.width / width);
            const std::uint8_t* from = &(*source.rgba)[(sy * static_cast<std::size_t>(source.width) + sx) * 4];
            std::uint8_t* to = &(*scaled)[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                           static_cast<std::size_t>(x)) * 4];
            for (int c = 0; c < 4; ++c) to[c] = from[c];
        }
    }
    return SharedImage{width, height, std::move(scaled)};
}

void ComposeClientImage(const Window& window, Image* out) {
    out->width = window.frame.width;
    out->height = window.frame.height;
    out->rgba.resize(window.frame.rgba->size());
    ComposeInto(window, RowsOf(*out));
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
    // The frame goes straight from the presented buffer into the window's texture, and the
    // text is drawn there: one upload per display.
    const PixelRows texture = BeginDisplay(window.display, window.frame.width, window.frame.height);
    if (texture.rgba) {
        ComposeInto(window, texture);
        EndDisplay(window.display);
    }
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

void PresentToWindow(HWND hwnd, SharedPixels rgba, int width, int height) {
    detail::Window* window = detail::FindWindow(hwnd);
    if (!window || !rgba || width <= 0 || height <= 0 ||
        rgba->size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        return;
    window->frame =
        detail::ScaleNearest(detail::SharedImage{width, height, std::move(rgba)}, window->clientWidth,
                             window->clientHeight);
    detail::RefreshDisplay(*window, true);
}

void PresentToWindow(HWND hwnd, const std::uint8_t* rgba, int width, int height) {
    if (!rgba || width <= 0 || height <= 0) return;
    PresentToWindow(hwnd,
                    std::make_shared<const std::vector<std::uint8_t>>(
                        rgba, rgba + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4),
                    width, height);
}

}  // namespace platform
