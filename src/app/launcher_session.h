// One run of the demo under the launcher: counts frames, injects the --input script at
// the idle moment just before each frame, closes the window through the ordinary close
// path after --frames frames, and collects the --trace rows, --record frames and the
// --png image.
#pragma once

#include "app/launcher_options.h"
#include "app/launcher_recording.h"
#include "app/launcher_trace.h"
#include "file/output_file.h"
#include "win32/shell.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace launcher {

class LauncherSession {
public:
    explicit LauncherSession(const LauncherOptions& options);
    ~LauncherSession();
    LauncherSession(const LauncherSession&) = delete;
    LauncherSession& operator=(const LauncherSession&) = delete;

    // Creates every requested output before the first frame, so a bad path or a missing
    // ffmpeg is reported before anything runs. False with one line in `error`.
    bool OpenOutputs(int width, int height, std::string* error);
    // Installs the idle hook and the frame observer.
    void Attach();
    // Removes both; the session sees no more frames.
    void Detach();
    // Completes the outputs: the PNG of the last frame, the trace and the recording.
    bool Finish(std::string* error);

    std::uint64_t FramesRendered() const { return framesRendered_; }

private:
    void OnIdle();
    void AnnounceHeadlessFallback();
    void OnFrame(bool bodyStepped);
    bool WritePng(std::string* error);

    LauncherOptions options_;
    std::uint64_t framesRendered_ = 0;
    std::size_t nextInput_ = 0;
    bool closePosted_ = false;
    bool announced_ = false;
    bool tracing_ = false;
    bool recording_ = false;
    TraceWriter trace_;
    FrameRecorder recorder_;
    platform::OutputFile png_;
    platform::Image lastImage_;
    bool haveImage_ = false;
};

}  // namespace launcher
