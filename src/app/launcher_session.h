// One run of the demo under the launcher: counts frames, injects the --input script at
// the idle moment just before each frame, closes the window through the ordinary close
// path after --frames frames or once a stop signal (see launcher_signals.h) asked to
// stop, says once when it had to run headless, and collects the --trace rows, --record
// frames, the --png image and the --stats figures. Outputs that would land in one file
// are refused before any is opened.
#pragma once

#include "app/demo.h"
#include "app/launcher_options.h"
#include "app/launcher_recording.h"
#include "app/launcher_run_stats.h"
#include "app/launcher_trace.h"
#include "springdrop/file/output_file.h"
#include "springdrop/shell/shell.h"

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
    // Installs the idle hook, `demo`'s frame observer and the destroy hook; the demo must
    // outlive the attachment.
    void Attach(app::Demo& demo);
    // Takes the final image if the window is still open, then removes the hooks; the
    // session sees no more frames.
    void Detach();
    // Completes the outputs: the PNG of the last frame, the trace and the recording.
    bool Finish(std::string* error);

    std::uint64_t FramesRendered() const { return framesRendered_; }
    const RunStats& Stats() const { return stats_; }

private:
    void OnIdle();
    void AnnounceHeadlessFallback();
    void OnFrame(bool bodyStepped);
    // Keeps the window's image for the PNG once the run is over (the window closing, or
    // the loop ending with it still open), not at every frame.
    void CaptureFinalImage();
    bool WritePng(std::string* error);

    LauncherOptions options_;
    app::Demo* demo_ = nullptr;
    std::uint64_t framesRendered_ = 0;
    std::size_t nextInput_ = 0;
    bool closePosted_ = false;
    bool announced_ = false;
    bool tracing_ = false;
    bool recording_ = false;
    RunStats stats_;
    TraceWriter trace_;
    FrameRecorder recorder_;
    platform::OutputFile png_;
    platform::Image frameImage_;  // reused for every recorded frame
    platform::Image finalImage_;
    bool haveFinalImage_ = false;
};

}  // namespace launcher
