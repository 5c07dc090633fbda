// The launcher: option and script parsing in-process, and the built springdrop program
// end to end (headless): exit codes, the trace, the PNG, recording and bad input.
#include "demo/process_support.h"
#include "launcher/options.h"
#include "sim/scene.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>

namespace {

using launcher::LauncherAction;
using launcher::LauncherOptions;
using launcher::ScriptedInput;

LauncherAction Parse(std::vector<const char*> arguments, LauncherOptions* options, std::string* error) {
    arguments.insert(arguments.begin(), "springdrop");
    return launcher::ParseLauncherOptions(static_cast<int>(arguments.size()), arguments.data(), options, error);
}

std::vector<std::vector<std::string>> ReadCsv(const std::filesystem::path& path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(demo_test::ReadFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) fields.push_back(cell);
        rows.push_back(fields);
    }
    return rows;
}

TEST(InputScript, ParsesEveryEventAndOrdersByFrame) {
    std::vector<ScriptedInput> inputs;
    std::string error;
    ASSERT_TRUE(launcher::ParseInputScript(
        "300:W,120:F1,5:escape,7:Close,8:Up,9:key:0x41,10:rdown:1:2,11:move:3:4,12:rup:5:6,400:drag:10:-5", &inputs,
        &error))
        << error;
    ASSERT_EQ(inputs.size(), 12u);
    EXPECT_EQ(inputs[0].frame, 5u);
    EXPECT_EQ(inputs[0].code, VK_ESCAPE);
    EXPECT_EQ(inputs[1].kind, ScriptedInput::Kind::Close);
    EXPECT_EQ(inputs[2].code, VK_UP);
    EXPECT_EQ(inputs[3].code, 0x41u);
    EXPECT_EQ(inputs[4].code, WM_RBUTTONDOWN);
    EXPECT_EQ(inputs[4].x, 1);
    EXPECT_EQ(inputs[4].y, 2);
    EXPECT_EQ(inputs[6].code, WM_RBUTTONUP);
    EXPECT_EQ(inputs[7].code, VK_F1);
    EXPECT_EQ(inputs[8].code, 0x57u);
    // A drag is a press at the centre, a move by the offset and a release there.
    EXPECT_EQ(inputs[9].code, WM_RBUTTONDOWN);
    EXPECT_EQ(inputs[10].code, WM_MOUSEMOVE);
    EXPECT_EQ(inputs[10].x, 330);
    EXPECT_EQ(inputs[10].y, 235);
    EXPECT_EQ(inputs[11].frame, 400u);
}

TEST(InputScript, RejectsMalformedItemsNamingThem) {
    for (const char* script : {"", "0:W", "10", "10:", "10:X", "x:W", "10:W,", "10:key:0x1FF", "10:key:41",
                               "10:rdown:1", "10:rdown:-1:5", "10:move:1:70000", "10:drag:-400:0", "10:W:1"}) {
        std::vector<ScriptedInput> inputs;
        std::string error;
        EXPECT_FALSE(launcher::ParseInputScript(script, &inputs, &error)) << script;
        EXPECT_NE(error.find("--input"), std::string::npos) << script;
    }
}

TEST(LauncherOptions, ParsesEveryOptionInBothForms) {
    LauncherOptions options;
    std::string error;
    ASSERT_EQ(Parse({"--headless", "--frames", "600", "--fixed-fps=100", "--input", "5:W", "--png", "a.png",
                     "--record=b.gif", "--trace", "t.csv", "--stats"},
                    &options, &error),
              LauncherAction::Run)
        << error;
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.frameLimit, 600u);
    EXPECT_EQ(options.fixedFps, 100.0);
    EXPECT_EQ(options.inputs.size(), 1u);
    EXPECT_EQ(options.pngPath, "a.png");
    EXPECT_EQ(options.recordPath, "b.gif");
    EXPECT_EQ(options.tracePath, "t.csv");
    EXPECT_TRUE(options.stats);
    for (const char* rate : {"0.0024", "3", "30", "10000000"})
        EXPECT_EQ(Parse({"--fixed-fps", rate}, &options, &error), LauncherAction::Run) << rate << ": " << error;
    EXPECT_EQ(Parse({"--frames", "3", "--help"}, &options, &error), LauncherAction::ShowHelp);
    EXPECT_EQ(Parse({"--version"}, &options, &error), LauncherAction::ShowVersion);
}

TEST(LauncherOptions, RejectsBadValuesUnknownAndRepeatedOptions) {
    const std::vector<std::vector<const char*>> bad = {
        {"--frames", "0"},     {"--frames", "-3"},       {"--frames", "1e3"},    {"--frames"},
        {"--fixed-fps", "0"},  {"--fixed-fps", "nan"},   {"--fixed-fps", "inf"}, {"--fixed-fps", "2e7"},
        {"--png", ""},         {"--input", "0:W"},       {"--bogus"},            {"positional"},
        {"--headless=yes"},    {"--headless", "--headless"},
        {"--stats=yes"},       {"--stats", "--stats"},
        // Rates the frame clock cannot keep: a frame longer than 2^32 counts, or a
        // whole number of counts per frame far from the rate asked.
        {"--fixed-fps", "0.001"}, {"--fixed-fps", "0.0023283064"}, {"--fixed-fps", "6000000"},
        {"--fixed-fps", "1.5e7"},
    };
    for (const auto& arguments : bad) {
        LauncherOptions options;
        std::string error;
        EXPECT_EQ(Parse(arguments, &options, &error), LauncherAction::Fail) << arguments[0];
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(LauncherOptions, HelpDescribesEveryOptionWithAnExample) {
    const std::string help = launcher::LauncherHelpText();
    for (const char* option : {"--headless", "--frames", "--fixed-fps", "--input", "--png", "--record", "--trace",
                               "--stats", "--help", "--version"}) {
        const std::size_t at = help.find(std::string("  ") + option);
        ASSERT_NE(at, std::string::npos) << option;
        const std::size_t next = help.find("\n  --", at + 1);
        EXPECT_NE(help.substr(at, next - at).find("e.g. springdrop"), std::string::npos) << option;
    }
}

TEST(Launcher, HeadlessRunWritesTheTraceAndTheImageOfTheLastFrame) {
    demo_test::ScratchDir dir;
    const auto png = dir.path / "out.png";
    const auto trace = dir.path / "t.csv";
    ASSERT_EQ(demo_test::Run({demo_test::SpringdropBinary(), "--headless", "--frames", "600", "--fixed-fps", "100",
                              "--png", png, "--trace", trace},
                             dir.path),
              0);
    const auto rows = ReadCsv(trace);
    ASSERT_EQ(rows.size(), 601u);
    EXPECT_EQ(rows[0].size(), 26u);
    EXPECT_EQ(rows[0][0], "frame");
    EXPECT_EQ(rows[0][25], "vz3");
    // The first upward motion is the bounce of frame 288, dropped from 101.
    std::size_t upward = 0;
    for (std::size_t r = 1; r < rows.size() && upward == 0; ++r)
        for (int m = 0; m < 4; ++m)
            if (std::strtof(rows[r][2 + 6 * m + 4].c_str(), nullptr) > 0.0f) upward = r;
    ASSERT_NE(upward, 0u);
    EXPECT_EQ(rows[upward][0], "288");
    EXPECT_EQ(rows[upward][1], "101");
    // Every value reads back bit for bit: frame 1 is the scene after one step.
    sim::SpringBody body;
    sim::BuildTetrahedron(&body, 101.0f);
    body.Step(0.01f);
    for (int m = 0; m < 4; ++m) {
        EXPECT_EQ(std::strtof(rows[1][2 + 6 * m + 1].c_str(), nullptr), body.masses[m].position.y) << m;
        EXPECT_EQ(std::strtof(rows[1][2 + 6 * m + 3].c_str(), nullptr), body.masses[m].velocity.x) << m;
    }

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str()));
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(image.width, 640u);
    EXPECT_EQ(image.height, 480u);
    int red = 0, white = 0;
    for (std::size_t p = 0; p < pixels.size(); p += 4) {
        if (pixels[p] > 200 && pixels[p + 1] < 80 && pixels[p + 2] < 80) ++red;
        if (pixels[p] == 255 && pixels[p + 1] == 255 && pixels[p + 2] == 255) ++white;
    }
    EXPECT_GT(red, 100);
    EXPECT_GT(white, 640 * 480 * 9 / 10);
}

TEST(Launcher, InputScriptRebuildsAtTheScriptedFramesAndEscapeEndsWithZero) {
    demo_test::ScratchDir dir;
    const auto trace = dir.path / "t.csv";
    const auto png = dir.path / "last.png";
    ASSERT_EQ(demo_test::Run({demo_test::SpringdropBinary(), "--headless", "--input", "100:F1,200:F1,250:Escape",
                              "--trace", trace, "--png", png},
                             dir.path),
              0);
    EXPECT_EQ(demo_test::ReadFile(png).substr(1, 3), "PNG");  // the last frame before Escape
    const auto rows = ReadCsv(trace);
    ASSERT_EQ(rows.size(), 250u);  // frames 1 to 249
    EXPECT_EQ(rows[99][1], "101");
    EXPECT_EQ(rows[100][1], "77");
    EXPECT_EQ(rows[199][1], "77");
    EXPECT_EQ(rows[200][1], "94");
}

// The PNG is taken once, when the run ends, so each way of ending it must still leave the
// image of the last frame: the frame limit and a close request destroy the window, Escape
// leaves it open.
TEST(Launcher, EveryWayOfEndingTheRunWritesTheSameLastFrame) {
    demo_test::ScratchDir dir;
    std::vector<std::string> images;
    for (const std::vector<std::string>& ending :
         {std::vector<std::string>{"--frames", "50"}, {"--input", "51:Close"}, {"--input", "51:Escape"}}) {
        const auto png = dir.path / ("end-" + std::to_string(images.size()) + ".png");
        std::vector<std::string> command = {demo_test::SpringdropBinary(), "--headless", "--fixed-fps", "100",
                                            "--png", png};
        command.insert(command.end(), ending.begin(), ending.end());
        ASSERT_EQ(demo_test::Run(command, dir.path), 0) << ending[1];
        images.push_back(demo_test::ReadFile(png));
    }
    ASSERT_EQ(images[0].substr(1, 3), "PNG");
    EXPECT_EQ(images[1], images[0]);
    EXPECT_EQ(images[2], images[0]);
}

TEST(Launcher, BadOptionsAndPathsFailWithOneLineAndWriteNothing) {
    demo_test::ScratchDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {"--frames", "zero"},
        {"--input", "5:Jump"},
        {"--frames", "5", "--png", (dir.path / "ok.png").string(), "--trace", "/nonexistent-dir/t.csv"},
        {"--frames", "5", "--png", dir.path.string()},
        {"--frames", "5", "--record", (dir.path / "movie.avi").string()},
    };
    for (const auto& arguments : cases) {
        std::vector<std::string> command = {demo_test::SpringdropBinary(), "--headless"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        std::string out, err;
        EXPECT_EQ(demo_test::Run(command, dir.path, &out, &err), 2) << arguments[1];
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_TRUE(dir.Files().empty()) << arguments[1];
    }
}

TEST(Launcher, RecordingWithoutFfmpegFailsBeforeAnyFrame) {
    demo_test::ScratchDir dir;
    std::string err;
    EXPECT_EQ(demo_test::Run({demo_test::SpringdropBinary(), "--headless", "--frames", "5", "--record",
                              (dir.path / "a.mp4").string()},
                             dir.path, nullptr, &err, {"PATH=/nonexistent"}),
              2);
    EXPECT_NE(err.find("ffmpeg"), std::string::npos);
    EXPECT_TRUE(dir.Files().empty());
}

TEST(Launcher, RecordsEveryFrameThroughFfmpeg) {
    if (!demo_test::OnPath("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    demo_test::ScratchDir dir;
    const auto gif = dir.path / "fall.gif";
    std::string err;
    ASSERT_EQ(demo_test::Run({demo_test::SpringdropBinary(), "--headless", "--frames", "10", "--record", gif},
                             dir.path, nullptr, &err),
              0)
        << err;
    EXPECT_EQ(demo_test::ReadFile(gif).substr(0, 4), "GIF8");
    EXPECT_EQ(dir.Files().size(), 1u);  // no temporary left behind
}

// Without a display (none named, or one that cannot be reached) the run falls back to a
// headless window and says so in one line, with what a run without --frames needs.
TEST(Launcher, FallingBackToHeadlessIsSaidInOneLine) {
    demo_test::ScratchDir dir;
    std::string err;
    EXPECT_EQ(demo_test::Run({demo_test::SpringdropBinary(), "--frames", "3"}, dir.path, nullptr, &err,
                             {"DISPLAY=", "WAYLAND_DISPLAY="}),
              0);
    EXPECT_EQ(err, "springdrop: no display available; running headless for 3 frames\n");
    EXPECT_EQ(demo_test::Run({demo_test::SpringdropBinary(), "--frames", "3"}, dir.path, nullptr, &err,
                             {"DISPLAY=:97", "WAYLAND_DISPLAY="}),
              0);
    EXPECT_EQ(err.rfind("springdrop: cannot open the display (", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    demo_test::Child endless =
        demo_test::Start({demo_test::SpringdropBinary()}, dir.path, {"DISPLAY=", "WAYLAND_DISPLAY="});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (endless.Stderr().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(endless.pid, SIGINT);
    EXPECT_EQ(endless.Wait(), 128 + SIGINT);
    EXPECT_EQ(endless.Stderr(),
              "springdrop: no display available; running headless until Ctrl+C (for a picture: --frames N --png "
              "out.png)\n");
    // Asking for a headless window is not a fallback.
    EXPECT_EQ(demo_test::Run({demo_test::SpringdropBinary(), "--headless", "--frames", "3"}, dir.path, nullptr, &err,
                             {"DISPLAY=", "WAYLAND_DISPLAY="}),
              0);
    EXPECT_EQ(err, "");
}

TEST(Launcher, VersionAndHelp) {
    demo_test::ScratchDir dir;
    std::string out;
    EXPECT_EQ(demo_test::Run({demo_test::SpringdropBinary(), "--version"}, dir.path, &out), 0);
    EXPECT_EQ(out, std::string("springdrop ") + SPRINGDROP_VERSION + "\n");
    EXPECT_EQ(demo_test::Run({demo_test::SpringdropBinary(), "--help"}, dir.path, &out), 0);
    EXPECT_EQ(out, launcher::LauncherHelpText());
}

}  // namespace
