// The launcher's refusals as a user sees them: whatever bytes the refused text holds,
// one line on standard error, exit code 2 and no file written; the same for a standard
// output that cannot be written.
#include "demo/process_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(LauncherMessages, RefusedTextWithControlBytesStillGivesOneLine) {
    demo_test::ScratchDir scratch;
    const std::string png = (scratch.path / "out.png").string();
    const std::vector<std::vector<std::string>> refused = {
        {"--bogus\nsecond line"},
        {"--frames", "3\n4"},
        {"--fixed-fps", "6\r0"},
        {"--input", "1:W,2:S\n3:D"},
        {"--headless", "--frames", "1", "--png", png, "--record", "clip\n.mkv"},
        {"--headless", "--frames", "1", "--png", (scratch.path / "missing\ndir" / "x.png").string()},
    };
    for (const auto& arguments : refused) {
        std::vector<std::string> command{demo_test::SpringdropBinary().string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        std::string out;
        std::string err;
        EXPECT_EQ(demo_test::Run(command, scratch.path, &out, &err), 2) << arguments.back();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(err.rfind("springdrop: ", 0), 0u) << err;
        EXPECT_TRUE(scratch.Files().empty()) << arguments.back();
    }
}

// What springdrop prints on standard output is checked: a full disk there is one line
// with the system's reason and exit code 2, not a silent success.
TEST(LauncherMessages, AFailedWriteToStandardOutputIsReported) {
    demo_test::ScratchDir scratch;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"}, {"--version"}, {"--headless", "--frames", "2", "--stats"}}) {
        std::vector<std::string> command = {"sh", "-c", "exec \"$0\" \"$@\" > /dev/full",
                                            demo_test::SpringdropBinary().string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        std::string err;
        EXPECT_EQ(demo_test::Run(command, scratch.path, nullptr, &err), 2) << arguments.front();
        EXPECT_EQ(err, "springdrop: cannot write standard output: No space left on device\n");
    }
}

}  // namespace
