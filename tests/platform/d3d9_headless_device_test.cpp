// CreateHeadlessDevice: the size reaches the back buffer, the device draws without a
// window (and refuses to present to none), bad arguments and creation failures leave
// nothing alive, and releasing the device frees its Direct3D object too.
#include "springdrop/d3d9/headless_device.h"
#include "springdrop/d3d9/instrumentation.h"

#include <gtest/gtest.h>

namespace {

constexpr D3DCOLOR kBlue = 0xFF0000FF;

TEST(HeadlessDevice, BackBufferHasRequestedSizeAndDeviceDrawsWithoutWindow) {
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d9sw::CreateHeadlessDevice(37, 21, &device), D3D_OK);
    ASSERT_NE(device, nullptr);

    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlue, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);

    d3d9sw::BackBufferImage image;
    ASSERT_TRUE(d3d9sw::ReadBackBuffer(device, &image));
    EXPECT_EQ(image.width, 37);
    EXPECT_EQ(image.height, 21);
    ASSERT_EQ(image.rgba.size(), 37u * 21u * 4u);
    EXPECT_EQ(image.rgba[0], 0);
    EXPECT_EQ(image.rgba[2], 255);

    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
}

TEST(HeadlessDevice, BadArgumentsAreRefusedAndClearTheOutPointer) {
    EXPECT_EQ(d3d9sw::CreateHeadlessDevice(16, 16, nullptr), D3DERR_INVALIDCALL);

    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(0x1);
    EXPECT_EQ(d3d9sw::CreateHeadlessDevice(0, 16, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    device = reinterpret_cast<IDirect3DDevice9*>(0x1);
    EXPECT_EQ(d3d9sw::CreateHeadlessDevice(16, 0, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);

    EXPECT_EQ(d3d9sw::CreateHeadlessDevice(16385, 16, &device), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
}

TEST(HeadlessDevice, CreationFailuresLeaveNothingAlive) {
    IDirect3DDevice9* device = nullptr;
    d3d9sw::SetDirect3DCreateFails(true);
    EXPECT_EQ(d3d9sw::CreateHeadlessDevice(16, 16, &device), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
    d3d9sw::ClearFaults();

    d3d9sw::InjectFault("Direct3D::CreateDevice", D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(d3d9sw::CreateHeadlessDevice(16, 16, &device), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
}

}  // namespace
