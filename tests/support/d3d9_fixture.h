// Shared set-up of the software device tests: a Direct3D object and a device with a small
// back buffer and no window, helpers to fill vertex buffers and to read pixels back.
#pragma once

#include "springdrop/d3d9/d3d9.h"
#include "springdrop/d3d9/instrumentation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace d3d9test {

struct TransformedVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE
    float x, y, z, rhw;
    D3DCOLOR color;
};
constexpr DWORD kTransformedFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

struct ColoredVertex {  // D3DFVF_XYZ | D3DFVF_DIFFUSE, the demo's line vertex
    float x, y, z;
    D3DCOLOR color;
};
constexpr DWORD kColoredFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

constexpr D3DCOLOR kWhite = 0xFFFFFFFF;
constexpr D3DCOLOR kRed = 0xFFFF0000;

inline D3DPRESENT_PARAMETERS WindowedParameters(UINT width, UINT height) {
    D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return parameters;
}

class DeviceTest : public ::testing::Test {
protected:
    static constexpr UINT kWidth = 32;
    static constexpr UINT kHeight = 32;

    void SetUp() override {
        d3d9sw::ResetInstrumentation();
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS parameters = WindowedParameters(kWidth, kHeight);
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                    &parameters, &device),
                  D3D_OK);
    }

    void TearDown() override {
        for (IUnknown* object : owned) object->Release();
        if (device) device->Release();
        if (d3d) d3d->Release();
        EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
    }

    // A vertex buffer holding `vertices`, released by TearDown.
    template <class Vertex>
    IDirect3DVertexBuffer9* Buffer(const std::vector<Vertex>& vertices) {
        IDirect3DVertexBuffer9* buffer = nullptr;
        UINT bytes = static_cast<UINT>(vertices.size() * sizeof(Vertex));
        EXPECT_EQ(device->CreateVertexBuffer(bytes, 0, 0, D3DPOOL_DEFAULT, &buffer, nullptr), D3D_OK);
        void* data = nullptr;
        EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, vertices.data(), bytes);
        EXPECT_EQ(buffer->Unlock(), D3D_OK);
        owned.push_back(buffer);
        return buffer;
    }

    // Clears to white, binds the vertices with `fvf` and draws them in one scene.
    template <class Vertex>
    HRESULT Draw(D3DPRIMITIVETYPE type, UINT count, const std::vector<Vertex>& vertices, DWORD fvf) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kWhite, 1.0f, 0);
        device->SetStreamSource(0, Buffer(vertices), 0, sizeof(Vertex));
        device->SetFVF(fvf);
        device->BeginScene();
        HRESULT result = device->DrawPrimitive(type, 0, count);
        device->EndScene();
        return result;
    }

    // Coordinates of every pixel that is not white.
    std::set<std::pair<int, int>> DrawnPixels() const {
        d3d9sw::BackBufferImage image;
        EXPECT_TRUE(d3d9sw::ReadBackBuffer(device, &image));
        std::set<std::pair<int, int>> drawn;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
                if (p[0] != 255 || p[1] != 255 || p[2] != 255 || p[3] != 255) drawn.insert({x, y});
            }
        return drawn;
    }

    // The RGBA bytes of one pixel packed as 0xRRGGBBAA.
    std::uint32_t PixelRgba(int x, int y) const {
        d3d9sw::BackBufferImage image;
        EXPECT_TRUE(d3d9sw::ReadBackBuffer(device, &image));
        const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
        return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    std::vector<IUnknown*> owned;
};

}  // namespace d3d9test
