// The demo in a real X window: under a private Xvfb server, springdrop opens its window,
// takes a right-button drag, W, F1 and Escape from xdotool, shows the red body and exits
// with code 0.
//
// Nothing here waits for a fixed time or depends on focus requests being honoured (the
// private server runs no window manager). The pointer is parked over the window, so with
// the server's default pointer-root focus the keys go to it. The test waits until the
// first body has come to rest, so that any change of its picture is the camera's doing;
// every input is then repeated until its effect shows on the screen, within a bounded
// time: the drag moves the body sideways, W makes it larger, F1 rewrites the drop-height
// line of the overlay.
#include "process_support.h"
#include "support/x_server.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What one screenshot shows of the demo's window.
struct WindowView {
    int redPixels = 0;
    int redLeft = 0, redRight = 0;  // horizontal extent of the body
    double redCentreX = 0.0;
    std::string heightLine;  // the dark text pixels of the overlay's third line

    bool SameBody(const WindowView& other) const {
        return redPixels == other.redPixels && redLeft == other.redLeft && redRight == other.redRight &&
               redCentreX == other.redCentreX;
    }
};

bool IsBodyRed(std::uint32_t rgb) { return (rgb >> 16) > 200 && (rgb >> 8 & 0xFF) < 80 && (rgb & 0xFF) < 80; }
bool IsTextDark(std::uint32_t rgb) { return (rgb >> 16) < 80 && (rgb >> 8 & 0xFF) < 80 && (rgb & 0xFF) < 80; }

// The overlay's third line (the drop height) is drawn at client (10, 50); its text is
// dark on a white box, and nothing else in that band changes between frames.
constexpr int kHeightLineTop = 50, kHeightLineBottom = 68, kHeightLineLeft = 10, kHeightLineRight = 200;
constexpr int kClientWidth = 640, kClientHeight = 480;

class DemoWindow {
public:
    DemoWindow(const demo_test::ScratchDir& dir, const test_support::XServer& server)
        : dir_(dir), server_(server), display_{"DISPLAY=" + server.Display()} {}

    const std::vector<std::string>& Display() const { return display_; }

    // The id of the demo's window once the server has mapped it, and its client origin
    // on the screen; false when that does not happen within `timeout`.
    bool WaitUntilMapped(std::chrono::seconds timeout) {
        for (const auto deadline = Clock::now() + timeout; Clock::now() < deadline;) {
            std::string found;
            XdotoolOutput({"search", "--onlyvisible", "--name", "pzo20031204"}, &found);
            id_ = found.substr(0, found.find('\n'));
            std::string geometry;
            if (!id_.empty() && XdotoolOutput({"getwindowgeometry", "--shell", id_}, &geometry) &&
                ParseOrigin(geometry))
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    // Runs xdotool with `arguments`; true when it exits 0.
    bool Xdotool(std::vector<std::string> arguments) { return XdotoolOutput(std::move(arguments), nullptr); }

    // Puts the pointer over the client area: with no window manager the keyboard follows
    // the pointer.
    bool ParkPointer() { return Xdotool({"mousemove", "--sync", "--window", id_, "320", "400"}); }

    std::optional<WindowView> Look() const {
        const std::optional<test_support::Screenshot> shot = test_support::TakeScreenshot(server_.Display());
        if (!shot) return std::nullopt;
        WindowView view;
        double sumX = 0.0;
        view.redLeft = kClientWidth;
        view.redRight = -1;
        for (int y = 0; y < kClientHeight; ++y)
            for (int x = 0; x < kClientWidth; ++x) {
                const int sx = originX_ + x, sy = originY_ + y;
                if (sx >= shot->width || sy >= shot->height) continue;
                const std::uint32_t rgb = shot->At(sx, sy);
                if (y >= kHeightLineTop && y < kHeightLineBottom && x >= kHeightLineLeft && x < kHeightLineRight)
                    view.heightLine += IsTextDark(rgb) ? '#' : '.';
                if (!IsBodyRed(rgb)) continue;
                ++view.redPixels;
                sumX += x;
                view.redLeft = std::min(view.redLeft, x);
                view.redRight = std::max(view.redRight, x);
            }
        if (view.redPixels > 0) view.redCentreX = sumX / view.redPixels;
        return view;
    }

    const std::string& Id() const { return id_; }

private:
    bool XdotoolOutput(std::vector<std::string> arguments, std::string* out) const {
        arguments.insert(arguments.begin(), "xdotool");
        return demo_test::Run(arguments, dir_.path, out, nullptr, display_) == 0;
    }

    bool ParseOrigin(const std::string& shell) {
        std::istringstream lines(shell);
        std::string line;
        bool haveX = false, haveY = false;
        while (std::getline(lines, line)) {
            if (line.rfind("X=", 0) == 0) haveX = (originX_ = std::stoi(line.substr(2))) >= 0;
            if (line.rfind("Y=", 0) == 0) haveY = (originY_ = std::stoi(line.substr(2))) >= 0;
        }
        return haveX && haveY;
    }

    const demo_test::ScratchDir& dir_;
    const test_support::XServer& server_;
    std::vector<std::string> display_;
    std::string id_;
    int originX_ = 0, originY_ = 0;
};

// Sends the input, then watches the screen for its effect; sends again when nothing has
// shown after a while (an event the server or SDL dropped), up to `attempts` times.
bool SendUntilSeen(DemoWindow& window, const std::function<bool()>& send,
                   const std::function<bool(const WindowView&)>& seen, int attempts = 4) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (!send()) continue;
        for (const auto deadline = Clock::now() + 3s; Clock::now() < deadline;) {
            const std::optional<WindowView> view = window.Look();
            if (view && seen(*view)) return true;
        }
    }
    return false;
}

TEST(XWindow, KeysDragAndEscapeUnderXvfb) {
    if (!demo_test::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(demo_test::OnPath("xdotool"));
    ASSERT_TRUE(demo_test::OnPath("xwd") && demo_test::OnPath("convert"));
    demo_test::ScratchDir dir;
    test_support::XServer server;
    ASSERT_TRUE(server.Start(dir.path / "xvfb.log")) << demo_test::ReadFile(dir.path / "xvfb.log");
    DemoWindow window(dir, server);

    const std::filesystem::path trace = dir.path / "trace.csv";
    demo_test::Child demo =
        demo_test::Start({demo_test::SpringdropBinary(), "--trace", trace.string()}, dir.path, window.Display());
    ASSERT_GT(demo.pid, 0);
    ASSERT_TRUE(window.WaitUntilMapped(20s)) << "the demo's window was never mapped\n" << demo.Stderr();
    ASSERT_TRUE(window.ParkPointer());

    // The first body falls, bounces and rests after about 2,500 frames; at rest its picture
    // stays the same from one look to the next.
    std::optional<WindowView> before;
    for (const auto deadline = Clock::now() + 90s;;) {
        ASSERT_LT(Clock::now(), deadline) << "the body never came to rest on the screen";
        std::optional<WindowView> view = window.Look();
        const bool resting = view && before && view->redPixels > 100 && view->SameBody(*before) &&
                             window.Look().value_or(WindowView{}).SameBody(*view);
        before = std::move(view);
        if (resting) break;
    }

    // The resting body lies near the lower right corner, partly outside the view. A
    // right-button drag 120 pixels left and 60 down turns the view 24 degrees right and
    // tilts it 12 degrees further down, which brings the body well toward the middle.
    EXPECT_TRUE(SendUntilSeen(
        window,
        [&] {
            return window.Xdotool({"mousemove", "--sync", "--window", window.Id(), "400", "200", "mousedown", "3",
                                   "mousemove", "--sync", "--window", window.Id(), "280", "260", "mouseup", "3"});
        },
        [&](const WindowView& view) { return view.redPixels > 100 && view.redCentreX < before->redCentreX - 60.0; }))
        << "the right-button drag never turned the view";
    ASSERT_TRUE(window.ParkPointer());

    // W walks toward the body: ten steps of 2 units from about 210 away make it a tenth
    // wider.
    std::optional<WindowView> beforeWalk = window.Look();
    ASSERT_TRUE(beforeWalk.has_value());
    const int widthBefore = beforeWalk->redRight - beforeWalk->redLeft;
    EXPECT_TRUE(SendUntilSeen(
        window, [&] { return window.Xdotool({"key", "--delay", "5", "w", "w", "w", "w", "w", "w", "w", "w", "w", "w"}); },
        [&](const WindowView& view) { return view.redRight - view.redLeft > widthBefore * 105 / 100; }))
        << "W never reached the demo";

    // F1 rebuilds the body at the next drop height, which the overlay's third line shows.
    const std::optional<WindowView> beforeF1 = window.Look();
    ASSERT_TRUE(beforeF1.has_value());
    EXPECT_TRUE(SendUntilSeen(
        window, [&] { return window.Xdotool({"key", "F1"}); },
        [&](const WindowView& view) { return view.heightLine != beforeF1->heightLine; }))
        << "F1 never reached the demo";

    // Escape quits; a key the program misses is sent again until it has gone.
    int exitCode = demo_test::Child::kStillRunning;
    for (int attempt = 0; attempt < 4 && exitCode == demo_test::Child::kStillRunning; ++attempt) {
        window.Xdotool({"key", "Escape"});
        exitCode = demo.WaitFor(5s);
    }
    if (exitCode == demo_test::Child::kStillRunning) exitCode = demo.Wait(1s);
    EXPECT_EQ(exitCode, 0) << demo.Stderr();

    // The trace confirms it: the first body fell from 101, F1 rebuilt it at 77.
    const std::string rows = demo_test::ReadFile(trace);
    EXPECT_NE(rows.find("\n1,101,"), std::string::npos);
    EXPECT_NE(rows.find(",77,"), std::string::npos);
}

}  // namespace
