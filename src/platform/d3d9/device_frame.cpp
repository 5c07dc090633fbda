// The frame around the draws: scenes, Clear, Present and the read-back of the back buffer
// and the depth-stencil buffer.
#include "springdrop/d3d9/device.h"

#include "springdrop/d3d9/rasterizer.h"
#include "springdrop/d3d9/window_sink.h"

#include <algorithm>

namespace d3d9sw {

using internal::Instrumented;

namespace {

constexpr DWORD kClearFlags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;

std::uint32_t RgbaFromArgb(D3DCOLOR color) {
    return PackRgba(static_cast<std::uint8_t>(color >> 16), static_cast<std::uint8_t>(color >> 8),
                    static_cast<std::uint8_t>(color), static_cast<std::uint8_t>(color >> 24));
}

}  // namespace

HRESULT Device::BeginScene() {
    return Instrumented("Device::BeginScene", [&] {
        if (inScene_) return D3DERR_INVALIDCALL;
        inScene_ = true;
        return D3D_OK;
    });
}

HRESULT Device::EndScene() {
    return Instrumented("Device::EndScene", [&] {
        if (!inScene_) return D3DERR_INVALIDCALL;
        inScene_ = false;
        return D3D_OK;
    });
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    return Instrumented(
        "Device::Clear", [&] { return ClearTargets(count, rects, flags, color, z, stencil); }, count, rects, flags,
        color, z, stencil);
}

// Clears the viewport, or the parts of the given rectangles inside it. Clearing depth or
// stencil needs that buffer; the depth value must lie in [0, 1].
HRESULT Device::ClearTargets(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                             DWORD stencil) {
    if ((count > 0 && !rects) || flags == 0 || (flags & ~kClearFlags) != 0) return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_ZBUFFER) && depth_.empty()) return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && stencil_.empty()) return D3DERR_INVALIDCALL;
    if (!(z >= 0.0f && z <= 1.0f)) return D3DERR_INVALIDCALL;
    std::uint32_t pixel = RgbaFromArgb(color);
    auto stencilValue = static_cast<std::uint8_t>(stencil);
    const D3DRECT whole{0, 0, width_, height_};
    if (count == 0) ClearRectangle(whole, flags, pixel, z, stencilValue);
    for (DWORD i = 0; i < count; ++i) ClearRectangle(rects[i], flags, pixel, z, stencilValue);
    return D3D_OK;
}

// A clear that reaches the whole buffer is one span for the colour and a recorded value for
// depth and stencil; any other rectangle first writes what is recorded, then fills its rows.
void Device::ClearRectangle(const D3DRECT& rect, DWORD flags, std::uint32_t color, float z, std::uint8_t stencil) {
    LONG left = std::max<LONG>(rect.x1, static_cast<LONG>(viewport_.X));
    LONG top = std::max<LONG>(rect.y1, static_cast<LONG>(viewport_.Y));
    LONG right = std::min<LONG>(rect.x2, static_cast<LONG>(viewport_.X + viewport_.Width));
    LONG bottom = std::min<LONG>(rect.y2, static_cast<LONG>(viewport_.Y + viewport_.Height));
    if (left >= right || top >= bottom) return;
    const auto width = static_cast<std::size_t>(width_);
    const bool wholeRows = left == 0 && right == width_;
    const bool wholeBuffer = wholeRows && top == 0 && bottom == height_;
    if (flags & D3DCLEAR_TARGET) {
        std::uint8_t* pixels = WritableColor(!wholeBuffer);
        if (wholeRows)
            FillPixels(pixels + static_cast<std::size_t>(top) * width * 4, static_cast<std::size_t>(bottom - top) * width,
                       color);
        else
            for (LONG y = top; y < bottom; ++y)
                FillPixels(pixels + (static_cast<std::size_t>(y) * width + static_cast<std::size_t>(left)) * 4,
                           static_cast<std::size_t>(right - left), color);
    }
    if (!(flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) return;
    if (wholeBuffer) {
        if (flags & D3DCLEAR_ZBUFFER) pendingDepth_ = z;
        if (flags & D3DCLEAR_STENCIL) pendingStencil_ = stencil;
        return;
    }
    ApplyPendingClears();
    for (LONG y = top; y < bottom; ++y) {
        const auto first = static_cast<std::ptrdiff_t>(y) * width_ + left;
        const auto last = first + (right - left);
        if (flags & D3DCLEAR_ZBUFFER) std::fill(depth_.begin() + first, depth_.begin() + last, z);
        if (flags & D3DCLEAR_STENCIL) std::fill(stencil_.begin() + first, stencil_.begin() + last, stencil);
    }
}

std::uint8_t* Device::WritableColor(bool keepContents) {
    if (color_.use_count() > 1) {
        if (!spareColor_ || spareColor_.use_count() > 1)
            spareColor_ = std::make_shared<std::vector<std::uint8_t>>(color_->size());
        if (keepContents) *spareColor_ = *color_;
        std::swap(color_, spareColor_);
    }
    return color_->data();
}

void Device::ApplyPendingClears() {
    if (pendingDepth_) std::fill(depth_.begin(), depth_.end(), *pendingDepth_);
    if (pendingStencil_) std::fill(stencil_.begin(), stencil_.end(), *pendingStencil_);
    pendingDepth_.reset();
    pendingStencil_.reset();
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const RGNDATA* dirtyRegion) {
    return Instrumented(
        "Device::Present", [&] { return PresentFrame(sourceRect, destRect, destWindowOverride, dirtyRegion); },
        sourceRect, destRect, destWindowOverride, dirtyRegion);
}

// Hands the whole back buffer to the override window, else the device window, else the
// focus window. Partial presents (rectangles, dirty regions) are not supported.
HRESULT Device::PresentFrame(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                             const RGNDATA* dirtyRegion) {
    if (sourceRect || destRect || dirtyRegion) return D3DERR_INVALIDCALL;
    HWND window = destWindowOverride   ? destWindowOverride
                  : parameters_.hDeviceWindow ? parameters_.hDeviceWindow
                                              : focusWindow_;
    if (!SinkIsWindow(window)) return D3DERR_INVALIDCALL;
    SinkPresent(window, color_, width_, height_);
    return D3D_OK;
}

void Device::ReadDepthStencil(DepthStencilImage* out) {
    ApplyPendingClears();
    out->width = width_;
    out->height = height_;
    out->depth = depth_;
    out->stencil = stencil_;
}

void Device::ReadBackBuffer(BackBufferImage* out) const {
    out->width = width_;
    out->height = height_;
    out->rgba = *color_;
}

}  // namespace d3d9sw
