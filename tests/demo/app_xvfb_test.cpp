// The demo in a real X window: under a private Xvfb server, springdrop opens its window,
// takes W, F1, a right-button drag and Escape from xdotool, shows the red body and exits
// with code 0.
#include "process_support.h"
#include "support/x_server.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Bright red pixels on the screen: the body the demo draws.
int CountRedPixels(const test_support::Screenshot& shot) {
    int red = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const std::uint32_t rgb = shot.At(x, y);
            if ((rgb >> 16) > 200 && (rgb >> 8 & 0xFF) < 80 && (rgb & 0xFF) < 80) ++red;
        }
    return red;
}

TEST(XWindow, KeysDragAndEscapeUnderXvfb) {
    if (!demo_test::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(demo_test::OnPath("xdotool"));
    ASSERT_TRUE(demo_test::OnPath("xwd") && demo_test::OnPath("convert"));
    demo_test::ScratchDir dir;
    test_support::XServer server;
    ASSERT_TRUE(server.Start(dir.path / "xvfb.log")) << demo_test::ReadFile(dir.path / "xvfb.log");
    const std::vector<std::string> display = {"DISPLAY=" + server.Display()};

    demo_test::Child demo = demo_test::Start({demo_test::SpringdropBinary()}, dir.path, display);
    ASSERT_GT(demo.pid, 0);
    std::string window;
    for (auto deadline = std::chrono::steady_clock::now() + 20s; window.empty();) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << demo.Stderr();
        demo_test::Run({"xdotool", "search", "--name", "pzo20031204"}, dir.path, &window, nullptr, display);
        window = window.substr(0, window.find('\n'));
        std::this_thread::sleep_for(100ms);
    }
    auto xdotool = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "xdotool");
        EXPECT_EQ(demo_test::Run(arguments, dir.path, nullptr, nullptr, display), 0) << arguments[1];
    };
    // The window can be found by name a moment before the server maps it, and focusing an
    // unmapped window fails; keep trying until it takes.
    for (auto deadline = std::chrono::steady_clock::now() + 10s;
         demo_test::Run({"xdotool", "windowfocus", "--sync", window}, dir.path, nullptr, nullptr, display) != 0;) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the demo's window never took the focus";
        std::this_thread::sleep_for(100ms);
    }
    xdotool({"key", "w"});
    xdotool({"key", "F1"});
    xdotool({"mousemove", "--window", window, "300", "200", "mousedown", "3", "mousemove", "--window", window, "340",
             "210", "mouseup", "3"});
    std::this_thread::sleep_for(500ms);
    const std::optional<test_support::Screenshot> shot = test_support::TakeScreenshot(server.Display());
    ASSERT_TRUE(shot.has_value());
    EXPECT_GT(CountRedPixels(*shot), 100);
    xdotool({"key", "Escape"});
    EXPECT_EQ(demo.Wait(20s), 0) << demo.Stderr();
}

}  // namespace
