// Clear on buffers larger than the device's fill block: the colour of every pixel against a
// plain per-pixel reference, and whole-buffer depth and stencil clears, which the device
// defers, compared with the same clears made eagerly (as rectangles).
#include "support/d3d9_fixture.h"

#include "springdrop/d3d9/headless_device.h"

#include <algorithm>
#include <array>

namespace d3d9test {
namespace {

constexpr int kWide = 100;  // 5,000 pixels: more than one fill block, ending in a partial one
constexpr int kTall = 50;

class ClearTest : public ::testing::Test {
protected:
    void SetUp() override {
        d3d9sw::ResetInstrumentation();
        ASSERT_EQ(d3d9sw::CreateHeadlessDevice(kWide, kTall, &device), D3D_OK);
        ASSERT_EQ(d3d9sw::CreateHeadlessDevice(kWide, kTall, &other), D3D_OK);
        for (IDirect3DDevice9* d : {device, other}) {
            d->SetRenderState(D3DRS_LIGHTING, FALSE);
            d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
            d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
            d->SetFVF(kTransformedFvf);
        }
    }

    void TearDown() override {
        for (IUnknown* object : buffers) object->Release();
        device->Release();
        other->Release();
        EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
    }

    std::vector<std::uint8_t> Colour(IDirect3DDevice9* d) const {
        d3d9sw::BackBufferImage image;
        EXPECT_TRUE(d3d9sw::ReadBackBuffer(d, &image));
        return image.rgba;
    }

    d3d9sw::DepthStencilImage DepthStencil(IDirect3DDevice9* d) const {
        d3d9sw::DepthStencilImage image;
        EXPECT_TRUE(d3d9sw::ReadDepthStencil(d, &image));
        return image;
    }

    void DrawTriangles(IDirect3DDevice9* d, const std::vector<TransformedVertex>& vertices) {
        IDirect3DVertexBuffer9* buffer = nullptr;
        const auto bytes = static_cast<UINT>(vertices.size() * sizeof(TransformedVertex));
        ASSERT_EQ(d->CreateVertexBuffer(bytes, 0, 0, D3DPOOL_DEFAULT, &buffer, nullptr), D3D_OK);
        buffers.push_back(buffer);
        void* data = nullptr;
        ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, vertices.data(), bytes);
        buffer->Unlock();
        d->SetStreamSource(0, buffer, 0, sizeof(TransformedVertex));
        d->BeginScene();
        ASSERT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertices.size() / 3)), D3D_OK);
        d->EndScene();
    }

    // The same depth and stencil clear as one whole-buffer clear (deferred) on `device`
    // and as two half-buffer rectangles (written at once) on `other`.
    void ClearDeferredAndEagerly(DWORD flags, D3DCOLOR colour, float z, DWORD stencil) {
        ASSERT_EQ(device->Clear(0, nullptr, flags, colour, z, stencil), D3D_OK);
        const D3DRECT halves[2] = {{0, 0, kWide, kTall / 2}, {0, kTall / 2, kWide, kTall}};
        ASSERT_EQ(other->Clear(2, halves, flags, colour, z, stencil), D3D_OK);
    }

    IDirect3DDevice9* device = nullptr;
    IDirect3DDevice9* other = nullptr;
    std::vector<IUnknown*> buffers;
};

// Bytes R, G, B, A of an ARGB colour, as the back buffer holds them.
std::array<std::uint8_t, 4> Rgba(D3DCOLOR argb) {
    return {static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 8),
            static_cast<std::uint8_t>(argb), static_cast<std::uint8_t>(argb >> 24)};
}

void Paint(std::vector<std::uint8_t>& image, int left, int top, int right, int bottom, D3DCOLOR argb) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            std::copy_n(Rgba(argb).begin(), 4, &image[(static_cast<std::size_t>(y) * kWide + x) * 4]);
}

TEST_F(ClearTest, EveryPixelTakesTheColourOfTheClearsThatCoverIt) {
    std::vector<std::uint8_t> expected(static_cast<std::size_t>(kWide) * kTall * 4);
    // Mixed bytes take the block-copy fill, equal bytes the memset; whole buffer, whole
    // rows under a band viewport, and part rows under a rectangle.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80336699, 1.0f, 0), D3D_OK);
    Paint(expected, 0, 0, kWide, kTall, 0x80336699);
    EXPECT_EQ(Colour(device), expected);

    D3DVIEWPORT9 band{0, 7, kWide, 30, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&band), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0), D3D_OK);
    Paint(expected, 0, 7, kWide, 37, 0xFF102030);
    const D3DRECT rects[2] = {{-5, 20, 13, 60}, {90, 0, 200, 9}};
    ASSERT_EQ(device->Clear(2, rects, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    Paint(expected, 0, 20, 13, 37, 0xFFFFFFFF);
    Paint(expected, 90, 7, kWide, 9, 0xFFFFFFFF);
    EXPECT_EQ(Colour(device), expected);
}

TEST_F(ClearTest, DepthTestedDrawAfterADeferredClearEqualsTheEagerResult) {
    // A near triangle leaves depth 0.25 behind; after clearing depth to 0.5, a triangle at
    // 0.4 must draw over it and one at 0.75 must not, which only holds if the clear landed.
    const std::vector<TransformedVertex> nearTriangle{
        {0, 0, 0.25f, 1, 0xFF00FF00}, {80, 0, 0.25f, 1, 0xFF00FF00}, {0, 40, 0.25f, 1, 0xFF00FF00}};
    const std::vector<TransformedVertex> laterTriangles{
        {10, 5, 0.4f, 1, 0xFFFF0000},  {90, 5, 0.4f, 1, 0xFFFF0000},  {10, 45, 0.4f, 1, 0xFFFF0000},
        {5, 10, 0.75f, 1, 0xFF0000FF}, {95, 10, 0.75f, 1, 0xFF0000FF}, {50, 48, 0.75f, 1, 0xFF0000FF}};
    for (IDirect3DDevice9* d : {device, other}) {
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, kWhite, 1.0f, 0);
        DrawTriangles(d, nearTriangle);
    }
    ClearDeferredAndEagerly(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, kWhite, 0.5f, 3);
    DrawTriangles(device, laterTriangles);
    DrawTriangles(other, laterTriangles);

    const std::vector<std::uint8_t> deferred = Colour(device);
    EXPECT_EQ(deferred, Colour(other));
    const std::size_t red = (static_cast<std::size_t>(10) * kWide + 20) * 4;  // inside both, in front
    EXPECT_EQ(deferred[red], 255);
    EXPECT_EQ(deferred[red + 1], 0);
    const std::size_t behind = (static_cast<std::size_t>(46) * kWide + 50) * 4;  // the far triangle only
    EXPECT_EQ(deferred[behind + 2], 255);  // white: the clear's 0.5 keeps 0.75 out
    EXPECT_EQ(deferred[behind], 255);
    EXPECT_EQ(DepthStencil(device).depth, DepthStencil(other).depth);
    EXPECT_EQ(DepthStencil(device).stencil, DepthStencil(other).stencil);
}

TEST_F(ClearTest, ReadBackSeesDeferredClearsAndRectanglesLandOnThem) {
    ClearDeferredAndEagerly(D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 0.3f, 7);
    d3d9sw::DepthStencilImage image = DepthStencil(device);
    ASSERT_EQ(image.depth.size(), static_cast<std::size_t>(kWide) * kTall);
    EXPECT_TRUE(std::all_of(image.depth.begin(), image.depth.end(), [](float z) { return z == 0.3f; }));
    EXPECT_TRUE(std::all_of(image.stencil.begin(), image.stencil.end(), [](std::uint8_t s) { return s == 7; }));

    // A whole clear recorded, then a rectangle over part of it, then a later whole clear
    // of the stencil alone: each buffer shows the latest value that covers each pixel.
    ClearDeferredAndEagerly(D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 0.9f, 1);
    const D3DRECT corner{0, 0, 10, 10};
    for (IDirect3DDevice9* d : {device, other}) ASSERT_EQ(d->Clear(1, &corner, D3DCLEAR_ZBUFFER, 0, 0.1f, 0), D3D_OK);
    ClearDeferredAndEagerly(D3DCLEAR_STENCIL, 0, 1.0f, 200);
    image = DepthStencil(device);
    EXPECT_EQ(image.depth[0], 0.1f);
    EXPECT_EQ(image.depth[10], 0.9f);
    EXPECT_EQ(image.stencil[0], 200);
    EXPECT_EQ(image.depth, DepthStencil(other).depth);
    EXPECT_EQ(image.stencil, DepthStencil(other).stencil);
}

}  // namespace
}  // namespace d3d9test
