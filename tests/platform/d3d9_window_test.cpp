// Device creation against real shell windows (headless backend): the back buffer takes
// the client size when asked for size 0, creation refuses what the software device cannot
// do, and Present hands the frame to the window.
#include "support/d3d9_fixture.h"

#include "springdrop/shell/shell.h"
#include "springdrop/shell/win32.h"

namespace d3d9test {
namespace {

class WindowDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        d3d9sw::ResetInstrumentation();
        platform::SetBackend(platform::Backend::Headless);
        // Registered once per process: a second registration of a class fails.
        static const ATOM windowClass = [] {
            WNDCLASSA description{};
            description.lpfnWndProc = DefWindowProcA;
            description.lpszClassName = "D3d9WindowTest";
            return RegisterClassA(&description);
        }();
        ASSERT_NE(windowClass, 0);
        window = CreateWindowExA(0, "D3d9WindowTest", "device test", WS_OVERLAPPEDWINDOW, 0, 0, 120, 90, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(GetClientRect(window, &client));
        d3d = Direct3DCreate9(31);
        ASSERT_NE(d3d, nullptr);
    }

    void TearDown() override {
        if (device) device->Release();
        d3d->Release();
        if (IsWindow(window)) DestroyWindow(window);
        EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
    }

    HRESULT Create(D3DPRESENT_PARAMETERS* parameters, HWND focus, D3DDEVTYPE type = D3DDEVTYPE_HAL,
                   DWORD behavior = D3DCREATE_SOFTWARE_VERTEXPROCESSING) {
        return d3d->CreateDevice(0, type, focus, behavior, parameters, &device);
    }

    HWND window = nullptr;
    RECT client{};
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

TEST_F(WindowDeviceTest, ZeroSizeTakesTheFocusWindowsClientArea) {
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(0, 0);
    ASSERT_EQ(Create(&parameters, window), D3D_OK);
    EXPECT_EQ(parameters.BackBufferWidth, static_cast<UINT>(client.right));
    EXPECT_EQ(parameters.BackBufferHeight, static_cast<UINT>(client.bottom));
    EXPECT_EQ(parameters.BackBufferFormat, D3DFMT_X8R8G8B8);
    d3d9sw::BackBufferImage image;
    ASSERT_TRUE(d3d9sw::ReadBackBuffer(device, &image));
    EXPECT_EQ(image.width, client.right);
    EXPECT_EQ(image.height, client.bottom);
}

TEST_F(WindowDeviceTest, DeviceWindowWinsOverFocusWindow) {
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(0, 0);
    parameters.hDeviceWindow = window;
    ASSERT_EQ(Create(&parameters, nullptr), D3D_OK);
    EXPECT_EQ(parameters.BackBufferWidth, static_cast<UINT>(client.right));
}

TEST_F(WindowDeviceTest, CreationRefusesWhatTheDeviceCannotDo) {
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(0, 0);
    EXPECT_EQ(Create(&parameters, nullptr), D3DERR_INVALIDCALL);  // size 0 and no window
    EXPECT_EQ(parameters.BackBufferWidth, 0u);                    // unchanged on failure
    EXPECT_EQ(Create(nullptr, window), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(1, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(Create(&parameters, window, D3DDEVTYPE_SW), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(Create(&parameters, window, D3DDEVTYPE_HAL, 0), D3DERR_INVALIDCALL);
    D3DPRESENT_PARAMETERS fullscreen = WindowedParameters(640, 480);
    fullscreen.Windowed = FALSE;
    EXPECT_EQ(Create(&fullscreen, window), D3DERR_NOTAVAILABLE);
    D3DPRESENT_PARAMETERS badDepth = WindowedParameters(0, 0);
    badDepth.AutoDepthStencilFormat = D3DFMT_A8R8G8B8;
    EXPECT_EQ(Create(&badDepth, window), D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 1);

    ASSERT_EQ(Create(&parameters, window, D3DDEVTYPE_REF, D3DCREATE_HARDWARE_VERTEXPROCESSING), D3D_OK);
}

TEST_F(WindowDeviceTest, DepthFormatWithoutStencilRefusesStencilClears) {
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(0, 0);
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(Create(&parameters, window), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0),
              D3DERR_INVALIDCALL);
}

TEST_F(WindowDeviceTest, PresentShowsTheFrameInTheWindow) {
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(0, 0);
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    ASSERT_EQ(Create(&parameters, window), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0), D3D_OK);
    D3DRECT corner{0, 0, 3, 3};
    ASSERT_EQ(device->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    platform::Image image;
    ASSERT_TRUE(platform::ReadClientImage(window, &image));
    ASSERT_EQ(image.width, client.right);
    auto pixel = [&](int x, int y) {
        const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
        return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    };
    EXPECT_EQ(pixel(1, 1), 0xFF0000u);
    EXPECT_EQ(pixel(client.right - 1, client.bottom - 1), 0x204060u);

    RECT source{0, 0, 1, 1};
    EXPECT_EQ(device->Present(&source, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    DestroyWindow(window);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

// The window keeps the presented buffer itself, so what the device does next must neither
// show in the window before the next present nor lose the presented contents in the device.
TEST_F(WindowDeviceTest, PresentedFrameStaysApartFromLaterDrawing) {
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(0, 0);
    ASSERT_EQ(Create(&parameters, window), D3D_OK);
    auto windowPixel = [&](int x, int y) {
        platform::Image image;
        EXPECT_TRUE(platform::ReadClientImage(window, &image));
        const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
        return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    };
    auto devicePixel = [&](int x, int y) {
        d3d9sw::BackBufferImage image;
        EXPECT_TRUE(d3d9sw::ReadBackBuffer(device, &image));
        const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
        return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    };
    const D3DRECT corner{0, 0, 3, 3};
    for (int frame = 0; frame < 3; ++frame) {
        const D3DCOLOR background = 0xFF000000u | (0x10u * static_cast<unsigned>(frame + 1));
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(devicePixel(1, 1), background & 0xFFFFFFu) << frame;
        // Drawing on without a clear keeps the presented contents around the new pixels,
        // while the window still shows the frame as presented.
        ASSERT_EQ(device->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
        EXPECT_EQ(devicePixel(1, 1), 0xFF0000u) << frame;
        EXPECT_EQ(devicePixel(5, 5), background & 0xFFFFFFu) << frame;
        EXPECT_EQ(windowPixel(1, 1), background & 0xFFFFFFu) << frame;
        // A whole clear starts the next frame; the window is still unchanged.
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
        EXPECT_EQ(windowPixel(5, 5), background & 0xFFFFFFu) << frame;
    }
}

}  // namespace
}  // namespace d3d9test
