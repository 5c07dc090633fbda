// A private X server for tests that need a real window, and screenshots of its screen.
// Tests that use it skip themselves when Xvfb is not installed.
#pragma once

#include <png.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace test_support {

// An Xvfb server on a display number it picks itself (-displayfd), so tests running in
// parallel never collide; stopped by its process id when this goes away.
class XServer {
public:
    XServer() = default;
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    ~XServer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

    // Starts the server with its messages going to `log`; false when it does not report a
    // display within ten seconds.
    bool Start(const std::filesystem::path& log) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        std::vector<std::string> args = {"Xvfb",        "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                         "1024x768x24", "-nolisten",  "tcp"};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        // The server writes the number once it accepts connections; a server that hangs
        // before that must not hang the test.
        std::string number;
        pollfd readable{fds[0], POLLIN, 0};
        while (pid_ > 0 && poll(&readable, 1, 10000) > 0) {
            char c = 0;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
        return !display_.empty();
    }

    // ":N", or empty before a successful Start.
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Runs `command` through the shell; its standard output.
inline std::string RunCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

// The whole X screen as RGB rows, top to bottom.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    // 0xRRGGBB
    std::uint32_t At(int x, int y) const {
        const std::uint8_t* p = &rgb[static_cast<std::size_t>((y * width + x) * 3)];
        return static_cast<std::uint32_t>(p[0]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[2];
    }
};

// Takes the screenshot with xwd, has convert turn it into PNG and decodes that; nothing
// when any step fails.
inline std::optional<Screenshot> TakeScreenshot(const std::string& display) {
    const std::string path =
        std::filesystem::temp_directory_path() / ("x11-shot-" + std::to_string(getpid()) + ".png");
    RunCommand("xwd -root -silent -display " + display + " | convert xwd:- png:" + path);
    png_image reader{};
    reader.version = PNG_IMAGE_VERSION;
    std::optional<Screenshot> shot;
    if (png_image_begin_read_from_file(&reader, path.c_str())) {
        reader.format = PNG_FORMAT_RGB;
        Screenshot decoded;
        decoded.width = static_cast<int>(reader.width);
        decoded.height = static_cast<int>(reader.height);
        decoded.rgb.resize(PNG_IMAGE_SIZE(reader));
        if (png_image_finish_read(&reader, nullptr, decoded.rgb.data(), 0, nullptr)) shot = std::move(decoded);
    }
    std::filesystem::remove(path);
    return shot;
}

}  // namespace test_support
