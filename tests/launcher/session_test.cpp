// The run both drivers share, in-process on a headless window: frame by frame as the page
// drives it, and to its end as the desktop does. Frames are counted before any observer
// sees them, the limit ends the run without closing the window frame by frame and through
// the close path to the end, script items arrive just before their frame, and the trace
// has one row per stepped frame.
#include "demo/process_support.h"
#include "launcher/session.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using launcher::RunState;
using launcher::Session;

launcher::LauncherOptions OptionsWithScript(const std::string& script, std::uint64_t frameLimit) {
    launcher::LauncherOptions options;
    options.frameLimit = frameLimit;
    std::string error;
    if (!script.empty()) {
        EXPECT_TRUE(launcher::ParseInputScript(script, &options.inputs, &error)) << error;
    }
    return options;
}

// Runs frame by frame until the session declines; returns how many frames were rendered.
int RunFrameByFrame(Session& session) {
    int frames = 0;
    while (session.PrepareNextFrame() && session.RenderNextFrame()) ++frames;
    return frames;
}

TEST(Session, FrameByFrameStopsAtTheLimitAndLeavesTheWindowOpen) {
    app::Demo demo;
    Session session(OptionsWithScript("", 4));
    std::vector<std::uint64_t> seen;
    session.Attach(demo, [&](bool) { seen.push_back(session.FramesRendered()); });
    EXPECT_EQ(session.State(), RunState::NotStarted);
    ASSERT_EQ(session.Start(platform::Backend::Headless), app::StartResult::Started);
    EXPECT_EQ(session.State(), RunState::Running);

    EXPECT_EQ(RunFrameByFrame(session), 4);
    EXPECT_EQ(seen, (std::vector<std::uint64_t>{1, 2, 3, 4}));
    EXPECT_EQ(session.State(), RunState::FrameLimit);
    EXPECT_TRUE(IsWindow(demo.hwnd));
    EXPECT_NE(demo.body, nullptr);
    // An ended run renders nothing more, however often it is asked.
    EXPECT_FALSE(session.PrepareNextFrame());
    EXPECT_EQ(session.FramesRendered(), 4u);
}

TEST(Session, ScriptItemsArriveJustBeforeTheirFrame) {
    app::Demo demo;
    Session session(OptionsWithScript("2:W,3:Escape", 0));
    std::vector<float> cameraZ;
    session.Attach(demo, [&](bool) { cameraZ.push_back(demo.camera->z); });
    ASSERT_EQ(session.Start(platform::Backend::Headless), app::StartResult::Started);
    const float startZ = demo.camera->z;

    // Escape before frame 3 quits with two frames rendered; W moved the camera for the
    // second frame, not the first.
    EXPECT_EQ(RunFrameByFrame(session), 2);
    ASSERT_EQ(cameraZ.size(), 2u);
    EXPECT_EQ(cameraZ[0], startZ);
    EXPECT_NE(cameraZ[1], startZ);
    EXPECT_EQ(session.State(), RunState::Quit);
}

// One window class per process: each run to the end is a test of its own.
TEST(Session, ToTheEndTheLimitClosesTheWindow) {
    app::Demo demo;
    Session session(OptionsWithScript("", 3));
    session.Attach(demo);
    int idleMoments = 0;
    EXPECT_EQ(session.RunToEnd(platform::Backend::Headless, [&] { ++idleMoments; }), 0);
    EXPECT_EQ(session.FramesRendered(), 3u);
    EXPECT_EQ(idleMoments, 4);  // before each frame, and once more to end the run
    EXPECT_EQ(session.State(), RunState::Quit);
    EXPECT_FALSE(IsWindow(demo.hwnd));
}

TEST(Session, ToTheEndAStopClosesTheWindow) {
    app::Demo demo;
    Session session(OptionsWithScript("", 0));
    session.Attach(demo);
    const auto stopAfterFive = [&] {
        if (session.FramesRendered() == 5) session.Stop();
    };
    EXPECT_EQ(session.RunToEnd(platform::Backend::Headless, stopAfterFive), 0);
    EXPECT_EQ(session.FramesRendered(), 5u);
    EXPECT_EQ(session.State(), RunState::Quit);
    EXPECT_FALSE(IsWindow(demo.hwnd));
}

TEST(Session, TraceHasOneRowPerSteppedFrameAndFinishesOnce) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("session-trace-" + std::to_string(getpid()) + ".csv");
    launcher::LauncherOptions options = OptionsWithScript("", 6);
    options.tracePath = path;
    app::Demo demo;
    Session session(options);
    std::string error;
    ASSERT_TRUE(session.OpenTrace(&error)) << error;
    EXPECT_TRUE(session.Tracing());
    session.Attach(demo);
    ASSERT_EQ(session.Start(platform::Backend::Headless), app::StartResult::Started);
    EXPECT_EQ(RunFrameByFrame(session), 6);

    ASSERT_TRUE(session.FinishTrace(&error)) << error;
    EXPECT_FALSE(session.Tracing());
    EXPECT_TRUE(session.FinishTrace(&error));
    std::istringstream lines(demo_test::ReadFile(path));
    std::vector<std::string> frames;
    for (std::string line; std::getline(lines, line);) frames.push_back(line.substr(0, line.find(',')));
    EXPECT_EQ(frames, (std::vector<std::string>{"frame", "1", "2", "3", "4", "5", "6"}));
    std::filesystem::remove(path);
}

}  // namespace
