// Start-up to shut-down through WinMain: the release order, the close and Escape paths,
// the F1 rebuild and its failure paths, and the entry's failure decisions.
#include "app/lifecycle.h"
#include "app/window_procedure.h"
#include "demo_test_support.h"
#include "render/camera.h"
#include "render/device_setup.h"
#include "render/frame.h"
#include "sim/scene.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using demo_test::IndexOf;

TEST(Shutdown, ReleasesDeviceDirect3DSphereThenBodyAndLeavesNothingAlive) {
    d3d9sw::SetCallLogging(true);
    demo_test::StartHeadless();
    d3d9sw::ClearCallLog();
    Shutdown();
    const std::vector<std::string> methods = demo_test::LoggedMethods();
    ASSERT_GE(methods.size(), 3u);
    EXPECT_EQ(methods[0], "Device::Release");
    EXPECT_EQ(methods[1], "Direct3D::Release");
    // The body's vertex buffer goes last; with it the device itself.
    EXPECT_EQ(methods.back(), "VertexBuffer::Release");
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
}

TEST(MainLoop, ClosingTheWindowShutsDownAndExitsWithZero) {
    int frames = 0;
    const int result = demo_test::RunHeadless([&](int frame) {
        frames = frame;
        if (frame == 5) PostMessageA(g_hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);  // Shutdown ran
    EXPECT_FALSE(IsWindow(g_hwnd));
    EXPECT_GE(frames, 5);
}

TEST(MainLoop, EscapeQuitsWithZeroWithoutShutdown) {
    const int result = demo_test::RunHeadless([](int frame) {
        if (frame == 3) platform::InjectKeyDown(g_hwnd, VK_ESCAPE);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(IsWindow(g_hwnd));
    EXPECT_GT(d3d9sw::LiveObjectCount(), 0);
    EXPECT_NE(g_body->massCount, 0);  // still the live body
}

TEST(MainLoop, RendersAFrameWheneverTheQueueIsEmpty) {
    d3d9sw::SetCallLogging(false);
    int idleRounds = 0;
    demo_test::RunHeadless([&](int frame) {
        idleRounds = frame;
        if (frame == 300) platform::InjectKeyDown(g_hwnd, VK_ESCAPE);
    });
    // 299 idle rounds each rendered a frame: the body has fallen for 299 steps.
    EXPECT_EQ(idleRounds, 300);
    EXPECT_LT(g_body->masses[0].position.y, 131.0f - 40.0f);
}

TEST(MainLoop, TheDemoRecordsNoDeviceCalls) {
    // A log that grew with every frame would make memory grow with run time.
    demo_test::RunHeadless([](int frame) {
        if (frame == 2) platform::InjectKeyDown(g_hwnd, VK_F1);
        if (frame == 5) PostMessageA(g_hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(d3d9sw::CallLog().empty());
}

TEST(F1, RebuildsAtTheNextHeightsReleasingTheOldBufferFirst) {
    d3d9sw::SetCallLogging(true);
    HWND hwnd = demo_test::StartHeadless();
    d3d9sw::ClearCallLog();
    EXPECT_EQ(WndProc(hwnd, WM_KEYDOWN, VK_F1, 0), 0);
    EXPECT_NE(g_body, nullptr);
    EXPECT_EQ(g_dropHeight, 77.0f);
    const std::vector<std::string> methods = demo_test::LoggedMethods();
    const int released = IndexOf(methods, "VertexBuffer::Release");
    ASSERT_GE(released, 0);
    EXPECT_GT(IndexOf(methods, "Device::CreateVertexBuffer"), released);
    WndProc(hwnd, WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(g_dropHeight, 94.0f);
    EXPECT_EQ(g_body->masses[1].position.y, 94.0f);
    // Shutdown destroys the current body: nothing is left alive.
    Shutdown();
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
}

TEST(F1, WithoutAVertexBufferTheBodyIsSteppedButNotDrawn) {
    d3d9sw::SetCallLogging(true);
    HWND hwnd = demo_test::StartHeadless();
    d3d9sw::InjectFault("Device::CreateVertexBuffer", E_OUTOFMEMORY);
    WndProc(hwnd, WM_KEYDOWN, VK_F1, 0);
    ASSERT_EQ(g_body->vertexBuffer, nullptr);
    d3d9sw::ClearCallLog();
    RenderFrame();
    const std::vector<std::string> methods = demo_test::LoggedMethods();
    EXPECT_EQ(IndexOf(methods, "Device::DrawPrimitive"), -1);
    EXPECT_NE(IndexOf(methods, "Device::Present"), -1);
    EXPECT_LT(g_body->masses[0].position.y, 77.0f + 30.0f);
    // The next F1 brings drawing back.
    WndProc(hwnd, WM_KEYDOWN, VK_F1, 0);
    d3d9sw::ClearCallLog();
    RenderFrame();
    EXPECT_NE(IndexOf(demo_test::LoggedMethods(), "Device::DrawPrimitive"), -1);
}

TEST(F1, AFailedLockSkipsTheDraw) {
    d3d9sw::SetCallLogging(true);
    demo_test::StartHeadless();
    d3d9sw::InjectFault("VertexBuffer::Lock", D3DERR_INVALIDCALL);
    d3d9sw::ClearCallLog();
    RenderFrame();
    const std::vector<std::string> methods = demo_test::LoggedMethods();
    EXPECT_EQ(IndexOf(methods, "VertexBuffer::Unlock"), -1);
    EXPECT_EQ(IndexOf(methods, "Device::DrawPrimitive"), -1);
    EXPECT_NE(IndexOf(methods, "Device::EndScene"), -1);
}

TEST(F1, WithoutABodyFramesSkipSteppingAndDrawing) {
    d3d9sw::SetCallLogging(true);
    HWND hwnd = demo_test::StartHeadless();
    delete g_body;
    g_body = nullptr;  // as after a failed allocation on F1
    d3d9sw::ClearCallLog();
    RenderFrame();
    EXPECT_EQ(IndexOf(demo_test::LoggedMethods(), "VertexBuffer::Lock"), -1);
    WndProc(hwnd, WM_KEYDOWN, VK_F1, 0);
    ASSERT_NE(g_body, nullptr);
    EXPECT_EQ(g_dropHeight, 77.0f);
}

TEST(F1, WithoutADeviceRebuildsNothing) {
    d3d9sw::SetDirect3DCreateFails(true);
    HWND hwnd = demo_test::StartHeadless();
    WndProc(hwnd, WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(g_dropHeight, 0.0f);
    EXPECT_EQ(g_body->massCount, 0);
    RenderFrame();
}

TEST(Entry, MissingStaticObjectEndsWithOneLineAndNonZeroBeforeAnyWindow) {
    delete g_transforms;
    g_transforms = nullptr;
    testing::internal::CaptureStderr();
    const int result = demo_test::RunHeadless([](int) {});
    const std::string error = testing::internal::GetCapturedStderr();
    EXPECT_NE(result, 0);
    EXPECT_EQ(g_hwnd, nullptr);
    EXPECT_NE(error.find("transform set"), std::string::npos);
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1);
}

TEST(Entry, WindowThatCannotBeCreatedGivesZero) {
    platform::SetBackend(platform::Backend::Headless);
    // The class was never registered, so the window cannot be created.
    EXPECT_EQ(CreateMainWindow(nullptr, SW_SHOWDEFAULT), 0);
    EXPECT_EQ(g_hwnd, nullptr);
}

TEST(Entry, WindowHasTheClassTitleAndClientSize) {
    // The Korean words are 25 CP949 bytes, directly followed by "( F1 = Reset )".
    EXPECT_EQ(std::string(kWindowTitle).size(), 14u + 25u + 14u);
    demo_test::StartHeadless();
    EXPECT_GT(g_windowRect.right - g_windowRect.left, 640);  // the outer frame is larger
    EXPECT_EQ(g_windowStyle, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(g_windowExStyle, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE);
}

}  // namespace
