// A software device at the demo's size drawing the demo's frame: a 640 × 480 clear of
// target, depth and stencil and six spring lines (lock, copy, bind, draw), with the call
// log off as a long run uses it. Shared by the device and window-path benches.
#pragma once

#include "springdrop/d3d9/d3d9.h"
#include "springdrop/d3d9/headless_device.h"
#include "springdrop/d3d9/instrumentation.h"

#include <cstring>

namespace bench_support {

class DemoSizedDevice {
public:
    // Without a focus window the device only renders; with one, Present shows the frame there.
    explicit DemoSizedDevice(HWND focusWindow = nullptr) {
        d3d9sw::ResetInstrumentation();
        d3d9sw::SetCallLogging(false);
        d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS parameters = d3d9sw::WindowedPresentParameters(640, 480, D3DFMT_UNKNOWN);
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, focusWindow, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters,
                           &device_);
        device_->SetRenderState(D3DRS_LIGHTING, FALSE);
        device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device_->CreateVertexBuffer(sizeof lines_, 0, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DPOOL_DEFAULT, &buffer_, nullptr);
        // A tetrahedron's six edges spanning most of the screen.
        const float corners[4][3] = {{-0.9f, -0.9f, 0.5f}, {0.9f, -0.9f, 0.5f}, {0.0f, 0.9f, 0.5f}, {0.0f, 0.0f, 0.2f}};
        const int ends[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {3, 1}, {2, 3}};
        for (int s = 0; s < 6; ++s)
            for (int e = 0; e < 2; ++e) {
                const float* c = corners[ends[s][e]];
                lines_[2 * s + e] = LineVertex{c[0], c[1], c[2], 0xFFFF0000};
            }
    }
    ~DemoSizedDevice() {
        buffer_->Release();
        device_->Release();
        d3d_->Release();
    }
    DemoSizedDevice(const DemoSizedDevice&) = delete;
    DemoSizedDevice& operator=(const DemoSizedDevice&) = delete;

    void Clear(D3DCOLOR colour = 0xFFFFFFFF) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, colour, 1.0f, 0);
    }

    void DrawLines() {
        device_->BeginScene();
        void* data = nullptr;
        buffer_->Lock(0, sizeof lines_, &data, 0);
        std::memcpy(data, lines_, sizeof lines_);
        buffer_->Unlock();
        device_->SetStreamSource(0, buffer_, 0, sizeof(LineVertex));
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        device_->DrawPrimitive(D3DPT_LINELIST, 0, 6);
        device_->EndScene();
    }

    HRESULT Present() { return device_->Present(nullptr, nullptr, nullptr, nullptr); }

private:
    struct LineVertex {
        float x, y, z;
        D3DCOLOR color;
    };

    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    IDirect3DVertexBuffer9* buffer_ = nullptr;
    LineVertex lines_[12];
};

}  // namespace bench_support
