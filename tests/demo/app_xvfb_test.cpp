// The demo in a real X window: under a private Xvfb server, springdrop opens its window,
// takes W, F1, a right-button drag and Escape from xdotool, shows the red body and exits
// with code 0.
#include "process_support.h"

#include <gtest/gtest.h>
#include <png.h>

#include <poll.h>

namespace {

using namespace std::chrono_literals;

// An Xvfb server on a display it picks itself (-displayfd), stopped by its process id.
class XvfbServer {
public:
    bool Start(const std::filesystem::path& logDir) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        const std::string log = (logDir / "xvfb.log").string();
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const char* argv[] = {"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr};
        const int failure = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        std::string number;
        pollfd readable{fds[0], POLLIN, 0};
        while (failure == 0 && poll(&readable, 1, 10000) > 0) {
            char c = 0;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        display_ = ":" + number;
        return failure == 0 && !number.empty();
    }
    ~XvfbServer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

int CountRedPixels(const std::filesystem::path& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, png.c_str())) return -1;
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return -1;
    int red = 0;
    for (std::size_t p = 0; p < pixels.size(); p += 4)
        if (pixels[p] > 200 && pixels[p + 1] < 80 && pixels[p + 2] < 80) ++red;
    return red;
}

TEST(XWindow, KeysDragAndEscapeUnderXvfb) {
    if (!demo_test::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(demo_test::OnPath("xdotool"));
    ASSERT_TRUE(demo_test::OnPath("import"));
    demo_test::ScratchDir dir;
    XvfbServer server;
    ASSERT_TRUE(server.Start(dir.path)) << demo_test::ReadFile(dir.path / "xvfb.log");
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
    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "w"});
    xdotool({"key", "F1"});
    xdotool({"mousemove", "--window", window, "300", "200", "mousedown", "3", "mousemove", "--window", window, "340",
             "210", "mouseup", "3"});
    std::this_thread::sleep_for(500ms);
    const auto shot = dir.path / "shot.png";
    ASSERT_EQ(demo_test::Run({"import", "-window", "root", shot.string()}, dir.path, nullptr, nullptr, display), 0);
    EXPECT_GT(CountRedPixels(shot), 100);
    xdotool({"key", "Escape"});
    EXPECT_EQ(demo.Wait(20s), 0) << demo.Stderr();
}

}  // namespace
