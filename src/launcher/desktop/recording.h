// The launcher's --record output: every frame's composed client image piped as raw RGBA
// to ffmpeg, which encodes an MP4 (H.264 when the encoder is there, else MPEG-4 part 2)
// or a GIF, chosen by the file's extension.
//
// A GIF gets a palette made from its own frames, so the body keeps its red, and at most
// 50 frames a second with whole-centisecond delays (what players honour): frames are
// dropped evenly and the clip lasts as long as the run. A recording is kept only when
// ffmpeg exited cleanly, printed no error and ffprobe reads the finished file. An ffmpeg
// that ends early closes the frame pipe: the next frame's write raises SIGPIPE, which
// stops the run (see signals.h), and Finish reports what ffmpeg said.
#pragma once

#include "springdrop/file/output_file.h"
#include "springdrop/shell/shell.h"

#include <cstdio>
#include <string>

#include <sys/types.h>

namespace launcher {

// The GIF's frame rate for frames arriving at `framesPerSecond`: 100/k frames a second
// for the smallest whole k of at least 2 that is not faster than the input.
int GifCentisecondsPerFrame(double framesPerSecond);

class FrameRecorder {
public:
    FrameRecorder() = default;
    ~FrameRecorder();
    FrameRecorder(const FrameRecorder&) = delete;
    FrameRecorder& operator=(const FrameRecorder&) = delete;

    // Starts ffmpeg for `width` x `height` frames at `framesPerSecond`, writing to a
    // pending file for `path` (extension .mp4 or .gif). False, with one line in `error`,
    // when ffmpeg or ffprobe is missing, ffmpeg cannot be started or the path is unwritable.
    bool Start(const std::string& path, int width, int height, double framesPerSecond, std::string* error);
    // Sends one frame; false once ffmpeg stopped taking frames or the size is wrong.
    bool AddFrame(const platform::Image& image);
    // Ends the stream, waits for ffmpeg, checks the file and keeps it.
    bool Finish(std::string* error);

private:
    bool Fail(const std::string& reason, std::string* error);
    std::string FirstProblem(const std::string& messages) const;

    platform::OutputFile file_;
    std::string ffprobe_;
    std::FILE* messages_ = nullptr;  // ffmpeg's standard error
    pid_t child_ = -1;
    int pipe_ = -1;
    int width_ = 0;
    int height_ = 0;
    bool failed_ = false;
};

}  // namespace launcher
