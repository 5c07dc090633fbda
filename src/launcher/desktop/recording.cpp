// Recording frames through an ffmpeg child process.
#include "launcher/desktop/recording.h"

#include "launcher/desktop/child_process.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace launcher {

namespace {

// GIF delays count centiseconds, and players raise delays under two of them.
constexpr int kMinGifCentiseconds = 2;

std::string LowerExtension(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool HasEncoder(const std::string& ffmpeg, const std::string& encoder) {
    std::string listing;
    std::string messages;
    RunAndCapture({ffmpeg, "-hide_banner", "-encoders"}, &listing, &messages);
    return listing.find(" " + encoder + " ") != std::string::npos;
}

std::string FormatRate(double framesPerSecond) {
    std::ostringstream text;
    text.precision(17);
    text << framesPerSecond;
    return text.str();
}

// One palette per frame, made from that frame: nothing is held back, so a run of any
// length records in bounded memory, and each frame's few colours are kept exactly.
std::string GifFilter(double framesPerSecond) {
    return "fps=100/" + std::to_string(GifCentisecondsPerFrame(framesPerSecond)) +
           ",split[frames][copy];[copy]palettegen=stats_mode=single[palette];"
           "[frames][palette]paletteuse=new=1:dither=none";
}

}  // namespace

int GifCentisecondsPerFrame(double framesPerSecond) {
    // The small allowance keeps rates such as 100/3 from rounding up a step.
    const double exact = std::ceil(100.0 / framesPerSecond - 1e-9);
    return static_cast<int>(std::max<double>(kMinGifCentiseconds, exact));
}

FrameRecorder::~FrameRecorder() {
    if (pipe_ >= 0) close(pipe_);
    if (child_ > 0) WaitForExit(child_);
    if (messages_) std::fclose(messages_);
}

bool FrameRecorder::Fail(const std::string& reason, std::string* error) {
    *error = "recording \"" + file_.Path() + "\" failed: " + reason;
    file_.Discard();
    return false;
}

bool FrameRecorder::Start(const std::string& path, int width, int height, double framesPerSecond,
                          std::string* error) {
    const std::string extension = LowerExtension(path);
    if (extension != "mp4" && extension != "gif") {
        *error = "cannot record to \"" + path + "\": the file name must end in .mp4 or .gif";
        return false;
    }
    const std::string ffmpeg = FindOnPath("ffmpeg");
    ffprobe_ = FindOnPath("ffprobe");
    if (ffmpeg.empty() || ffprobe_.empty()) {
        *error = "cannot record to \"" + path + "\": " + (ffmpeg.empty() ? "ffmpeg" : "ffprobe") +
                 " was not found on PATH";
        return false;
    }
    if (!file_.Open(path, platform::OutputFile::Access::ByPath, error)) return false;

    std::vector<std::string> arguments = {ffmpeg, "-hide_banner", "-nostats", "-loglevel", "error", "-y",
                                          "-f", "rawvideo", "-pix_fmt", "rgba",
                                          "-s", std::to_string(width) + "x" + std::to_string(height),
                                          "-r", FormatRate(framesPerSecond), "-i", "-"};
    if (extension == "gif") {
        arguments.insert(arguments.end(), {"-filter_complex", GifFilter(framesPerSecond), "-f", "gif"});
    } else {
        if (HasEncoder(ffmpeg, "libx264")) arguments.insert(arguments.end(), {"-c:v", "libx264"});
        else arguments.insert(arguments.end(), {"-c:v", "mpeg4", "-q:v", "3"});
        arguments.insert(arguments.end(), {"-pix_fmt", "yuv420p", "-f", "mp4"});
    }
    arguments.push_back(file_.WritablePath());

    messages_ = std::tmpfile();
    int fds[2];
    if (!messages_ || pipe2(fds, O_CLOEXEC) != 0) return Fail(std::string("cannot start ffmpeg: ") + std::strerror(errno), error);
    child_ = SpawnChild(arguments, fds[0], -1, fileno(messages_));
    close(fds[0]);
    pipe_ = fds[1];
    if (child_ <= 0) return Fail("cannot start ffmpeg (" + ffmpeg + ")", error);
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

// The first line a program printed, with the pending file's name replaced by the one
// the user gave, so the message points at something the user knows.
std::string FrameRecorder::FirstProblem(const std::string& messages) const {
    std::istringstream lines(messages);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        for (std::size_t at = 0; !file_.WritablePath().empty() &&
                                 (at = line.find(file_.WritablePath(), at)) != std::string::npos;
             at += file_.Path().size())
            line.replace(at, file_.WritablePath().size(), file_.Path());
        return line;
    }
    return "";
}

bool FrameRecorder::Finish(std::string* error) {
    close(pipe_);
    pipe_ = -1;
    const int code = WaitForExit(child_);
    child_ = -1;
    const std::string problem = FirstProblem(ReadWhole(fileno(messages_)));
    if (!problem.empty()) return Fail("ffmpeg: " + problem, error);
    if (code != 0) return Fail("ffmpeg ended with code " + std::to_string(code), error);
    if (failed_) return Fail("ffmpeg did not take every frame", error);

    // ffmpeg can exit cleanly and still leave a file no player opens; ffprobe must read it.
    std::string packets;
    std::string messages;
    const int probe = RunAndCapture({ffprobe_, "-v", "error", "-count_packets", "-select_streams", "v:0",
                                     "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0",
                                     file_.WritablePath()},
                                    &packets, &messages);
    if (!FirstProblem(messages).empty()) return Fail("ffprobe: " + FirstProblem(messages), error);
    if (probe != 0 || std::atol(packets.c_str()) < 1) return Fail("ffprobe finds no frames in it", error);
    return file_.Commit(error);
}

}  // namespace launcher
