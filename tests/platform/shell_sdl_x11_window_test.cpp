// A real SDL window on a private X server: the presented frame and the GDI text reach
// the screen, the CP949 title arrives as UTF-8, and real pointer and key input becomes
// window messages with client coordinates, as do resizing and the close box. Skipped
// when Xvfb is not installed.
#include "support/path_lookup.h"
#include "support/x_server.h"
#include "springdrop/shell/sdl/sdl_backend.h"
#include "springdrop/shell/shell_state.h"
#include "support/shell_test_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using test_support::OnPath;
using test_support::RunCommand;
using test_support::Screenshot;
using test_support::TakeScreenshot;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kRedLineY = 100;
constexpr int kGreenLineX = 50;

std::vector<std::uint8_t> FrameWithLines() {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(kWidth * kHeight * 4), 255);
    auto set = [&](int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        std::uint8_t* p = &rgba[static_cast<std::size_t>((y * kWidth + x) * 4)];
        p[0] = r;
        p[1] = g;
        p[2] = b;
    };
    for (int x = 0; x < kWidth; ++x)
        for (int y = kRedLineY; y < kRedLineY + 3; ++y) set(x, y, 255, 0, 0);
    for (int y = 60; y < kHeight; ++y)
        for (int x = kGreenLineX; x < kGreenLineX + 3; ++x) set(x, y, 0, 255, 0);
    return rgba;
}

// Dispatches messages until `done` holds or `timeout` passes; the result of `done`.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    auto end = std::chrono::steady_clock::now() + timeout;
    MSG msg{};
    while (std::chrono::steady_clock::now() < end) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

bool Received(UINT message) {
    for (const auto& m : win32_test::Received())
        if (m.message == message) return true;
    return false;
}

}  // namespace

TEST(Win32X11Window, RealWindowShowsFrameTextTitleAndDeliversInput) {
    if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(OnPath("xwd") && OnPath("convert")) << "xwd and convert are needed for the screenshot";
    test_support::XServer server;
    ASSERT_TRUE(server.Start("/dev/null")) << "Xvfb did not start";
    setenv("DISPLAY", server.Display().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = win32_test::RecordingProcedure;
    windowClass.lpszClassName = "OpenGL";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    platform::SetBackend(platform::Backend::Sdl);
    RECT rect{0, 0, kWidth, kHeight};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    // "높이에 따른( F1 = Reset )" in CP949.
    const char* title = "\xB3\xF4\xC0\xCC\xBF\xA1 \xB5\xFB\xB8\xA5( F1 = Reset )";
    HWND hwnd = CreateWindowExA(0, "OpenGL", title, WS_OVERLAPPEDWINDOW, 0, 0, rect.right - rect.left,
                                rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(platform::ActiveBackend(), platform::Backend::Sdl);
    SDL_Window* native = platform::detail::NativeWindow(platform::detail::FindWindow(hwnd)->display);
    EXPECT_STREQ(SDL_GetWindowTitle(native), "높이에 따른( F1 = Reset )");

    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    auto frame = FrameWithLines();
    TextOutA(GetDC(hwnd), 10, 10, "Springdrop \xC3\xCA\xB1\xE2", 15);

    // Present until the screen shows the frame (the window maps asynchronously), then
    // find the window by its red line, which spans the whole client width.
    std::optional<Screenshot> shot;
    int left = -1, top = -1, redCount = 0;
    PumpUntil([&] {
        platform::PresentToWindow(hwnd, frame.data(), kWidth, kHeight);
        shot = TakeScreenshot(server.Display());
        left = top = -1;
        redCount = 0;
        for (int y = 0; shot && y < shot->height; ++y)
            for (int x = 0; x < shot->width; ++x)
                if (shot->At(x, y) == 0xFF0000) {
                    if (left < 0 || x < left) left = x;
                    if (top < 0) top = y - kRedLineY;
                    ++redCount;
                }
        return redCount > 0;
    });
    ASSERT_TRUE(shot.has_value());
    ASSERT_EQ(redCount, kWidth * 3 - 3 * 3);  // the green line crosses it
    ASSERT_GE(top, 0);
    EXPECT_EQ(shot->At(left + kGreenLineX + 1, top + 200), 0x00FF00u);
    EXPECT_EQ(shot->At(left + 300, top + 200), 0xFFFFFFu);
    int dark = 0;
    for (int y = top + 10; y < top + 26; ++y)
        for (int x = left + 10; x < left + 160; ++x)
            if ((shot->At(x, y) >> 16) < 80) ++dark;
    EXPECT_GT(dark, 40);

    // Real input through the X server: a right click and a key over the client area.
    if (OnPath("xdotool")) {
        win32_test::Received().clear();
        RunCommand("xdotool mousemove --sync " + std::to_string(left + 40) + " " + std::to_string(top + 30) +
                   " click 3 key f");
        PumpUntil([] { return Received(WM_RBUTTONUP) && Received(WM_KEYDOWN); });
        bool rightDown = false, rightUp = false, keyF = false;
        for (const auto& m : win32_test::Received()) {
            if (m.message == WM_RBUTTONDOWN) {
                rightDown = true;
                EXPECT_EQ(m.lParam, MAKELPARAM(40, 30));
            }
            if (m.message == WM_RBUTTONUP) rightUp = true;
            if (m.message == WM_KEYDOWN && m.wParam == 'F') {
                keyF = true;
                EXPECT_EQ(m.lParam & 0xFFFF, 1);
            }
        }
        EXPECT_TRUE(rightDown);
        EXPECT_TRUE(rightUp);
        EXPECT_TRUE(keyF);
    }

    // A resize of the real window reaches the procedure and the client rectangle.
    win32_test::Received().clear();
    SDL_SetWindowSize(native, 400, 300);
    PumpUntil([] { return Received(WM_SIZE); });
    RECT client{};
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);
    bool sized = false;
    for (const auto& m : win32_test::Received()) sized |= m.message == WM_SIZE && m.lParam == MAKELPARAM(400, 300);
    EXPECT_TRUE(sized);

    // The close box: a close request that the default procedure turns into destruction.
    win32_test::Received().clear();
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(native);
    SDL_PushEvent(&close);
    PumpUntil([hwnd] { return !IsWindow(hwnd); });
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(win32_test::ReceivedCodes(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

