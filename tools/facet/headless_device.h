// Owns one headless software device (a small back buffer, no window) for the facet
// program and the geometry library's tests, benchmarks and fuzz targets, none of which
// ever presents a frame.
#pragma once

#include "springdrop/d3d9/headless_device.h"

#include <cstdlib>

namespace facet_tools {

class HeadlessDevice {
public:
    HeadlessDevice() = default;
    HeadlessDevice(const HeadlessDevice&) = delete;
    HeadlessDevice& operator=(const HeadlessDevice&) = delete;
    ~HeadlessDevice() { Reset(); }

    // Creates the device; the creation's code on failure.
    HRESULT Create() {
        Reset();
        return d3d9sw::CreateHeadlessDevice(kBackBufferSide, kBackBufferSide, &device_);
    }

    // Releases this holder's reference; objects that hold the device keep it alive.
    void Reset() {
        if (device_ != nullptr) device_->Release();
        device_ = nullptr;
    }

    IDirect3DDevice9* device() const { return device_; }

private:
    static constexpr UINT kBackBufferSide = 16;
    IDirect3DDevice9* device_ = nullptr;
};

// One device for the whole process (the call log is off by default), for benchmarks and fuzz
// targets that run many times over; it is never released.
inline IDirect3DDevice9* ProcessDevice() {
    static HeadlessDevice* holder = [] {
        auto* created = new HeadlessDevice();
        if (created->Create() != D3D_OK) std::abort();
        return created;
    }();
    return holder->device();
}

}  // namespace facet_tools
