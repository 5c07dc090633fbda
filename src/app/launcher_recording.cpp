// Recording frames through an ffmpeg child process.
#include "app/launcher_recording.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace launcher {

namespace {

std::string LowerExtension(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Runs `arguments` (the first is the program's path) with standard input from `stdinFd`
// and standard output to `stdoutFd`, each /dev/null when -1. Returns the child's id or -1.
pid_t Spawn(const std::vector<std::string>& arguments, int stdinFd, int stdoutFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdinFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
    else posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    else posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    const int failure = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failure == 0 ? child : -1;
}

bool HasEncoder(const std::string& ffmpeg, const std::string& encoder) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    const pid_t child = Spawn({ffmpeg, "-hide_banner", "-encoders"}, -1, fds[1]);
    close(fds[1]);
    std::string listing;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(fds[0], buffer, sizeof(buffer))) > 0) listing.append(buffer, static_cast<std::size_t>(got));
    close(fds[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return listing.find(" " + encoder + " ") != std::string::npos;
}

std::string FormatRate(double framesPerSecond) {
    std::ostringstream text;
    text.precision(17);
    text << framesPerSecond;
    return text.str();
}

}  // namespace

std::string FindFfmpeg() {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return "";
    std::istringstream directories(path);
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        const std::string candidate = (directory.empty() ? std::string(".") : directory) + "/ffmpeg";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

FrameRecorder::~FrameRecorder() {
    if (pipe_ >= 0) close(pipe_);
    if (child_ > 0) WaitForChild();
}

bool FrameRecorder::Start(const std::string& path, int width, int height, double framesPerSecond,
                          std::string* error) {
    const std::string extension = LowerExtension(path);
    if (extension != "mp4" && extension != "gif") {
        *error = "cannot record to \"" + path + "\": the file name must end in .mp4 or .gif";
        return false;
    }
    const std::string ffmpeg = FindFfmpeg();
    if (ffmpeg.empty()) {
        *error = "cannot record to \"" + path + "\": ffmpeg was not found on PATH";
        return false;
    }
    if (!file_.Open(path, platform::OutputFile::Access::ByPath, error)) return false;

    std::vector<std::string> arguments = {ffmpeg, "-hide_banner", "-loglevel", "error", "-y",
                                          "-f", "rawvideo", "-pix_fmt", "rgba",
                                          "-s", std::to_string(width) + "x" + std::to_string(height),
                                          "-r", FormatRate(framesPerSecond), "-i", "-"};
    if (extension == "gif") {
        arguments.insert(arguments.end(), {"-f", "gif"});
    } else {
        if (HasEncoder(ffmpeg, "libx264")) arguments.insert(arguments.end(), {"-c:v", "libx264"});
        else arguments.insert(arguments.end(), {"-c:v", "mpeg4", "-q:v", "3"});
        arguments.insert(arguments.end(), {"-pix_fmt", "yuv420p", "-f", "mp4"});
    }
    arguments.push_back(file_.WritablePath());

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    // A closed pipe must come back as a write error, not end the launcher.
    signal(SIGPIPE, SIG_IGN);
    child_ = Spawn(arguments, fds[0], -1);
    close(fds[0]);
    pipe_ = fds[1];
    if (child_ <= 0) {
        *error = "cannot start ffmpeg (" + ffmpeg + ")";
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

bool FrameRecorder::AddFrame(const platform::Image& image) {
    if (failed_) return false;
    failed_ = image.width != width_ || image.height != height_;
    const std::uint8_t* data = image.rgba.data();
    std::size_t left = failed_ ? 0 : image.rgba.size();
    while (left > 0) {
        const ssize_t written = write(pipe_, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            failed_ = true;
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return !failed_;
}

bool FrameRecorder::WaitForChild() {
    int status = 0;
    const bool waited = waitpid(child_, &status, 0) == child_;
    child_ = -1;
    return waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool FrameRecorder::Finish(std::string* error) {
    close(pipe_);
    pipe_ = -1;
    const bool encoded = WaitForChild();
    if (failed_ || !encoded) {
        *error = "recording \"" + file_.Path() + "\" failed: ffmpeg did not take every frame";
        file_.Discard();
        return false;
    }
    return file_.Commit(error);
}

}  // namespace launcher
