// The frame: the exact device calls of one frame, the overlay's byte counts and the
// frame timer.
#include "demo_test_support.h"
#include "app/frame_sequence.h"
#include "render/body_lines.h"
#include "render/frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

std::string Overlay(const char* format, float value) {
    render::OverlayBuffer buffer;
    const std::size_t length = render::FormatOverlayLine(buffer, format, value);
    return std::string(buffer, length);
}

// The documented frame on the device: clear target, depth and stencil to white, 1.0 and
// 0; begin the scene; copy the six springs (192 bytes) into the body's vertex buffer;
// bind it with the position-and-colour format; draw six lines; end the scene; present
// at once.
const std::vector<std::string> kDocumentedFrame = {
    "Device::Clear(0,null,7,4294967295,1,0)",
    "Device::BeginScene()",
    "VertexBuffer::Lock(0,192,ptr,0)",
    "VertexBuffer::Unlock()",
    "Device::SetStreamSource(0,ptr,0,16)",
    "Device::SetFVF(66)",
    "Device::DrawPrimitive(2,0,6)",
    "Device::EndScene()",
    "Device::Present(null,null,null,null)",
};

TEST(Frame, OneFrameMakesTheDocumentedDeviceCalls) {
    app::Demo demo;
    demo_test::StartHeadless(demo);
    d3d9sw::ClearCallLog();
    app::RenderFrame(demo);
    EXPECT_EQ(demo_test::LoggedCalls(), kDocumentedFrame);
}

TEST(Frame, DrawWritesTwelveRedVerticesInEachSpringsOwnOrder) {
    app::Demo demo;
    demo_test::StartHeadless(demo);
    app::RenderFrame(demo);
    void* data = nullptr;
    ASSERT_EQ(demo.bodyLines.vertexBuffer()->Lock(0, 192, &data, D3DLOCK_READONLY), D3D_OK);
    const auto* vertices = static_cast<const render::LineVertex*>(data);
    for (int v = 0; v < 12; ++v) EXPECT_EQ(vertices[v].color, 0xFFFF0000u) << v;
    auto at = [&](int v, int mass) {
        const facet::Vector3& p = demo.body->masses[mass].position;
        return vertices[v].x == p.x && vertices[v].y == p.y && vertices[v].z == p.z;
    };
    EXPECT_TRUE(at(0, 0));
    EXPECT_TRUE(at(1, 1));
    EXPECT_TRUE(at(10, 3));  // spring 5 runs from mass 3 to mass 1
    EXPECT_TRUE(at(11, 1));
    demo.bodyLines.vertexBuffer()->Unlock();
}

TEST(Frame, OverlayCutsEveryLineAtSeventeenBytes) {
    EXPECT_EQ(Overlay(render::kMaxRateFormat, 60.0f), "fps_MAX 60.000000");
    EXPECT_EQ(Overlay(render::kMaxRateFormat, 9.5f), "fps_MAX 9.500000");  // 16 bytes, nothing beyond
    EXPECT_EQ(Overlay(render::kMaxRateFormat, 123.456f), "fps_MAX 123.45600");
    EXPECT_EQ(Overlay(render::kCurrentRateFormat, std::numeric_limits<float>::infinity()), "fps_Now inf");
    const std::string label = "\xC3\xCA\xB1\xE2\xB3\xF4\xC0\xCC";
    EXPECT_EQ(label.size(), 8u);
    EXPECT_EQ(Overlay(render::kDropHeightFormat, 60.0f), label + " 60.00000");
    EXPECT_EQ(Overlay(render::kDropHeightFormat, 101.0f), label + " 101.0000");
}

TEST(Frame, OverlayLinesReachTheWindowAtTheirPlaces) {
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    platform::Image before;
    ASSERT_TRUE(platform::ReadClientImage(hwnd, &before));
    app::RenderFrame(demo);
    platform::Image after;
    ASSERT_TRUE(platform::ReadClientImage(hwnd, &after));
    auto darkPixelsInRows = [](const platform::Image& image, int top, int bottom) {
        int dark = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < 200; ++x)
                if (image.rgba[(y * image.width + x) * 4] < 128) ++dark;
        return dark;
    };
    for (int line = 0; line < 3; ++line) {
        EXPECT_EQ(darkPixelsInRows(before, 10 + 20 * line, 26 + 20 * line), 0) << line;
        EXPECT_GT(darkPixelsInRows(after, 10 + 20 * line, 26 + 20 * line), 20) << line;
    }
}

TEST(FrameTimer, FirstTickIsTinyAndLaterTicksMeasureTheFixedRate) {
    platform::UseFixedRateCounter(100.0);
    render::FrameTimer timer;  // zeroed like the static one
    timer.prevCount = 0;
    EXPECT_EQ(timer.frequency, 10000000);
    const float first = timer.Tick();
    EXPECT_GT(first, 0.0f);
    EXPECT_LT(first, 0.01f);
    EXPECT_EQ(timer.Tick(), 100.0f);
    EXPECT_EQ(timer.prevCount, timer.curCount);
}

TEST(FrameTimer, OnlyTheLowThirtyTwoBitsOfTheCountsMatter) {
    platform::UseFixedRateCounter(100.0);
    render::FrameTimer timer;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const std::int64_t next = now.QuadPart + 100000;
    // A different high half and a low half 512 counts behind (wrapping when the next
    // reading's low half is small) still measure 512 counts.
    timer.prevCount = next - 512 + (std::int64_t{7} << 32);
    timer.Tick();
    EXPECT_FLOAT_EQ(timer.frameTime, 512.0f / 10000000.0f);
}

TEST(Frame, MaxRateOnlyGrowsAndFramesWithoutDeviceDrawOnlyTheOverlay) {
    app::Demo demo;
    d3d9sw::SetDirect3DCreateFails(true);
    demo_test::StartHeadless(demo);
    ASSERT_EQ(demo.device, nullptr);
    platform::UseFixedRateCounter(50.0);
    d3d9sw::ClearCallLog();
    app::RenderFrame(demo);
    app::RenderFrame(demo);
    EXPECT_EQ(demo.maxFps, 50.0f);
    demo.timer.prevCount -= 200000;  // the next interval is twice as long: 25 per second
    app::RenderFrame(demo);
    EXPECT_EQ(demo.timer.fps, 25.0f);
    EXPECT_EQ(demo.maxFps, 50.0f);
    EXPECT_TRUE(d3d9sw::CallLog().empty());
    EXPECT_EQ(demo.dropHeight, 0.0f);  // no scene was built
}

}  // namespace
