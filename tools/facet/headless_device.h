// A software Direct3D 9 device without a window (a small explicit back buffer), for the
// facet program and the geometry library's tests, benchmarks and fuzz targets, none of
// which ever presents a frame.
#pragma once

#include "d3d9/d3d9.h"

namespace facet_tools {

class HeadlessDevice {
public:
    HeadlessDevice() = default;
    HeadlessDevice(const HeadlessDevice&) = delete;
    HeadlessDevice& operator=(const HeadlessDevice&) = delete;
    ~HeadlessDevice() { Reset(); }

    // Creates the Direct3D object and the device; the device's code on failure.
    HRESULT Create() {
        direct3D_ = Direct3DCreate9(D3D_SDK_VERSION);
        if (direct3D_ == nullptr) return E_FAIL;
        D3DPRESENT_PARAMETERS parameters = {};
        parameters.BackBufferWidth = 16;
        parameters.BackBufferHeight = 16;
        parameters.BackBufferFormat = D3DFMT_UNKNOWN;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.Windowed = 1;
        return direct3D_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                       D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device_);
    }

    // Releases this holder's references; objects still held elsewhere stay alive.
    void Reset() {
        if (device_ != nullptr) device_->Release();
        if (direct3D_ != nullptr) direct3D_->Release();
        device_ = nullptr;
        direct3D_ = nullptr;
    }

    IDirect3DDevice9* device() const { return device_; }

private:
    IDirect3D9* direct3D_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
};

}  // namespace facet_tools
