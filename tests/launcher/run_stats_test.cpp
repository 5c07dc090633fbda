// The launcher's --stats line: the slowest frame is the longest gap between two frame
// ends, in wall time and in CPU time apart; the first frame has no gap; the built program
// prints one line of figures.
#include "demo/process_support.h"
#include "launcher/desktop/run_stats.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace {

TEST(RunStats, SlowestFrameIsTheLongestGapBetweenFrameEnds) {
    launcher::RunStats stats;
    stats.FrameEnded(1);
    EXPECT_NE(stats.Line().find("stats: 1 frames, slowest frame 0.000 ms wall (frame 0), 0.000 ms CPU (frame 0)"),
              std::string::npos)
        << stats.Line();
    stats.FrameEnded(2);
    // Frame 3 sleeps, which takes wall time but no CPU time; frame 4 works.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stats.FrameEnded(3);
    const auto busyUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (std::chrono::steady_clock::now() < busyUntil) {
    }
    stats.FrameEnded(4);
    const std::string line = stats.Line();
    std::smatch match;
    const std::regex expected(R"(stats: 4 frames, slowest frame ([0-9.]+) ms wall \(frame 3\), ([0-9.]+) ms CPU )"
                              R"(\(frame 4\), peak RSS ([0-9]+) KiB)");
    ASSERT_TRUE(std::regex_match(line, match, expected)) << line;
    EXPECT_GE(std::stod(match[1]), 300.0);
    EXPECT_GT(std::stod(match[2]), 0.0);
    EXPECT_GT(std::stol(match[3]), 0);
}

TEST(Launcher, StatsOptionPrintsOneLineOfFiguresAtTheEnd) {
    demo_test::ScratchDir dir;
    std::string out;
    ASSERT_EQ(demo_test::Run({demo_test::SpringdropBinary(), "--headless", "--frames", "20", "--fixed-fps", "100",
                              "--stats"},
                             dir.path, &out),
              0);
    std::smatch match;
    const std::regex expected(R"(stats: 20 frames, slowest frame [0-9.]+ ms wall \(frame ([0-9]+)\), [0-9.]+ ms CPU )"
                              R"(\(frame ([0-9]+)\), peak RSS [0-9]+ KiB\n)");
    ASSERT_TRUE(std::regex_match(out, match, expected)) << out;
    for (int group : {1, 2}) {
        EXPECT_GE(std::stoi(match[group]), 2);
        EXPECT_LE(std::stoi(match[group]), 20);
    }
}

}  // namespace
