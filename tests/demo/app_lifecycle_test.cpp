// Start-up to shut-down through RunDemo: the release order, the close and Escape paths,
// the F1 rebuild and its failure paths, and the entry's failure decisions.
#include "app/frame_sequence.h"
#include "app/lifecycle.h"
#include "app/window_procedure.h"
#include "demo_test_support.h"
#include "render/camera.h"
#include "render/device_setup.h"
#include "render/frame.h"
#include "sim/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>

namespace {

// When not negative, the number of single-object allocations without exceptions that
// still succeed before one fails (and the counting stops).
int g_nothrowAllocationsBeforeFailure = -1;

}  // namespace

// Lets a test fail one allocation of the long-lived objects, which are allocated this way.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_nothrowAllocationsBeforeFailure == 0) {
        g_nothrowAllocationsBeforeFailure = -1;
        return nullptr;
    }
    if (g_nothrowAllocationsBeforeFailure > 0) --g_nothrowAllocationsBeforeFailure;
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace {

using demo_test::IndexOf;

TEST(Shutdown, ReleasesDeviceDirect3DSphereThenBodyAndLeavesNothingAlive) {
    d3d9sw::SetCallLogging(true);
    app::Demo demo;
    demo_test::StartHeadless(demo);
    d3d9sw::ClearCallLog();
    app::Shutdown(demo);
    const std::vector<std::string> methods = demo_test::LoggedMethods();
    ASSERT_GE(methods.size(), 3u);
    EXPECT_EQ(methods[0], "Device::Release");
    EXPECT_EQ(methods[1], "Direct3D::Release");
    // The body's vertex buffer goes last; with it the device itself.
    EXPECT_EQ(methods.back(), "VertexBuffer::Release");
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
}

TEST(MainLoop, ClosingTheWindowShutsDownAndExitsWithZero) {
    app::Demo demo;
    int frames = 0;
    const int result = demo_test::RunHeadless(demo, [&](int frame) {
        frames = frame;
        if (frame == 5) PostMessageA(demo.hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);  // Shutdown ran
    EXPECT_FALSE(IsWindow(demo.hwnd));
    EXPECT_GE(frames, 5);
}

TEST(MainLoop, EscapeQuitsWithZeroWithoutShutdown) {
    app::Demo demo;
    const int result = demo_test::RunHeadless(demo, [&](int frame) {
        if (frame == 3) platform::InjectKeyDown(demo.hwnd, VK_ESCAPE);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(IsWindow(demo.hwnd));
    EXPECT_GT(d3d9sw::LiveObjectCount(), 0);
    EXPECT_NE(demo.body->massCount, 0);  // still the live body
}

TEST(MainLoop, RendersAFrameWheneverTheQueueIsEmpty) {
    app::Demo demo;
    d3d9sw::SetCallLogging(false);
    int idleRounds = 0;
    demo_test::RunHeadless(demo, [&](int frame) {
        idleRounds = frame;
        if (frame == 300) platform::InjectKeyDown(demo.hwnd, VK_ESCAPE);
    });
    // 299 idle rounds each rendered a frame: the body has fallen for 299 steps.
    EXPECT_EQ(idleRounds, 300);
    EXPECT_LT(demo.body->masses[0].position.y, 131.0f - 40.0f);
}

TEST(MainLoop, TheDemoRecordsNoDeviceCalls) {
    // A log that grew with every frame would make memory grow with run time.
    app::Demo demo;
    demo_test::RunHeadless(demo, [&](int frame) {
        if (frame == 2) platform::InjectKeyDown(demo.hwnd, VK_F1);
        if (frame == 5) PostMessageA(demo.hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(d3d9sw::CallLog().empty());
}

TEST(F1, RebuildsAtTheNextHeightsReleasingTheOldBufferFirst) {
    d3d9sw::SetCallLogging(true);
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    d3d9sw::ClearCallLog();
    EXPECT_EQ(app::WndProc(hwnd, WM_KEYDOWN, VK_F1, 0), 0);
    EXPECT_NE(demo.body, nullptr);
    EXPECT_EQ(demo.dropHeight, 77.0f);
    const std::vector<std::string> methods = demo_test::LoggedMethods();
    const int released = IndexOf(methods, "VertexBuffer::Release");
    ASSERT_GE(released, 0);
    EXPECT_GT(IndexOf(methods, "Device::CreateVertexBuffer"), released);
    app::WndProc(hwnd, WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(demo.dropHeight, 94.0f);
    EXPECT_EQ(demo.body->masses[1].position.y, 94.0f);
    // Shutdown destroys the current body: nothing is left alive.
    app::Shutdown(demo);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
}

TEST(F1, WithoutAVertexBufferTheBodyIsSteppedButNotDrawn) {
    d3d9sw::SetCallLogging(true);
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    d3d9sw::InjectFault("Device::CreateVertexBuffer", E_OUTOFMEMORY);
    app::WndProc(hwnd, WM_KEYDOWN, VK_F1, 0);
    ASSERT_EQ(demo.bodyLines.vertexBuffer(), nullptr);
    d3d9sw::ClearCallLog();
    app::RenderFrame(demo);
    const std::vector<std::string> methods = demo_test::LoggedMethods();
    EXPECT_EQ(IndexOf(methods, "Device::DrawPrimitive"), -1);
    EXPECT_NE(IndexOf(methods, "Device::Present"), -1);
    EXPECT_LT(demo.body->masses[0].position.y, 77.0f + 30.0f);
    // The next F1 brings drawing back.
    app::WndProc(hwnd, WM_KEYDOWN, VK_F1, 0);
    d3d9sw::ClearCallLog();
    app::RenderFrame(demo);
    EXPECT_NE(IndexOf(demo_test::LoggedMethods(), "Device::DrawPrimitive"), -1);
}

TEST(F1, AFailedLockSkipsTheDraw) {
    d3d9sw::SetCallLogging(true);
    app::Demo demo;
    demo_test::StartHeadless(demo);
    d3d9sw::InjectFault("VertexBuffer::Lock", D3DERR_INVALIDCALL);
    d3d9sw::ClearCallLog();
    app::RenderFrame(demo);
    const std::vector<std::string> methods = demo_test::LoggedMethods();
    EXPECT_EQ(IndexOf(methods, "VertexBuffer::Unlock"), -1);
    EXPECT_EQ(IndexOf(methods, "Device::DrawPrimitive"), -1);
    EXPECT_NE(IndexOf(methods, "Device::EndScene"), -1);
}

TEST(F1, WithoutABodyFramesSkipSteppingAndDrawing) {
    d3d9sw::SetCallLogging(true);
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    demo.bodyLines.Release();
    demo.body.reset();  // as after a failed allocation on F1
    d3d9sw::ClearCallLog();
    app::RenderFrame(demo);
    EXPECT_EQ(IndexOf(demo_test::LoggedMethods(), "VertexBuffer::Lock"), -1);
    app::WndProc(hwnd, WM_KEYDOWN, VK_F1, 0);
    ASSERT_NE(demo.body, nullptr);
    EXPECT_EQ(demo.dropHeight, 77.0f);
}

TEST(F1, WithoutADeviceRebuildsNothing) {
    app::Demo demo;
    d3d9sw::SetDirect3DCreateFails(true);
    HWND hwnd = demo_test::StartHeadless(demo);
    app::WndProc(hwnd, WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(demo.dropHeight, 0.0f);
    EXPECT_EQ(demo.body->massCount, 0);
    app::RenderFrame(demo);
}

TEST(Entry, FailedAllocationEndsWithOneLineAndNonZeroBeforeAnyWindow) {
    app::Demo demo;
    testing::internal::CaptureStderr();
    g_nothrowAllocationsBeforeFailure = 1;  // the camera, then the transform set fails
    const int result = demo_test::RunHeadless(demo, [](int) {});
    g_nothrowAllocationsBeforeFailure = -1;
    const std::string error = testing::internal::GetCapturedStderr();
    EXPECT_NE(result, 0);
    EXPECT_EQ(demo.hwnd, nullptr);
    EXPECT_NE(demo.camera, nullptr);
    EXPECT_EQ(demo.body, nullptr);  // never attempted after the failure
    EXPECT_EQ(error, "springdrop: out of memory: the transform set could not be allocated\n");
}

TEST(Entry, WindowThatCannotBeCreatedGivesZero) {
    app::Demo demo;
    platform::SetBackend(platform::Backend::Headless);
    // The class was never registered, so the window cannot be created.
    EXPECT_EQ(app::CreateMainWindow(demo, nullptr, SW_SHOWDEFAULT), 0);
    EXPECT_EQ(demo.hwnd, nullptr);
}

TEST(Entry, WindowHasTheClassTitleAndClientSize) {
    app::Demo demo;
    // The Korean words are 25 CP949 bytes, directly followed by "( F1 = Reset )".
    EXPECT_EQ(std::string(app::kWindowTitle).size(), 14u + 25u + 14u);
    demo_test::StartHeadless(demo);
    EXPECT_GT(demo.windowRect.right - demo.windowRect.left, 640);  // the outer frame is larger
    EXPECT_EQ(demo.windowStyle, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(demo.windowExStyle, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE);
}

}  // namespace
