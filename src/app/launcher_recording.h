// The launcher's --record output: every frame's composed client image piped as raw RGBA
// to ffmpeg, which encodes an MP4 (H.264 when the encoder is there, else MPEG-4 part 2)
// or a GIF, chosen by the file's extension. ffmpeg writes a pending file that is renamed
// over the target only after it finished successfully.
#pragma once

#include "file/output_file.h"
#include "win32/shell.h"

#include <string>

#include <sys/types.h>

namespace launcher {

// The full path of the ffmpeg program on PATH, or empty when there is none.
std::string FindFfmpeg();

class FrameRecorder {
public:
    FrameRecorder() = default;
    ~FrameRecorder();
    FrameRecorder(const FrameRecorder&) = delete;
    FrameRecorder& operator=(const FrameRecorder&) = delete;

    // Starts ffmpeg for `width` x `height` frames at `framesPerSecond`, writing to a
    // pending file beside `path` (extension .mp4 or .gif). False, with one line in
    // `error`, when ffmpeg is missing or cannot be started or the path is unwritable.
    bool Start(const std::string& path, int width, int height, double framesPerSecond, std::string* error);
    // Sends one frame; false once ffmpeg stopped taking frames or the size is wrong.
    bool AddFrame(const platform::Image& image);
    // Ends the stream, waits for ffmpeg and renames the file over the target.
    bool Finish(std::string* error);

private:
    platform::OutputFile file_;
    pid_t child_ = -1;
    int pipe_ = -1;
    int width_ = 0;
    int height_ = 0;
    bool failed_ = false;

    bool WaitForChild();
};

}  // namespace launcher
