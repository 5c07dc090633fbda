// One run of the demo under the desktop launcher: the shared session (see
// launcher/session.h), run to its end, with what only the desktop adds. A stop signal
// (see signals.h) ends the run as the frame limit does, it says once when it had to run
// headless, and it collects the --record frames, the --png image and the --stats
// figures. Outputs that would land in one file are refused before any is opened.
#pragma once

#include "app/demo.h"
#include "springdrop/file/output_file.h"
#include "launcher/desktop/recording.h"
#include "launcher/desktop/run_stats.h"
#include "launcher/options.h"
#include "launcher/session.h"
#include "springdrop/shell/shell.h"

#include <cstdint>
#include <string>

namespace launcher {

class DesktopSession {
public:
    explicit DesktopSession(const LauncherOptions& options);
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // Creates every requested output before the first frame, so a bad path or a missing
    // ffmpeg is reported before anything runs. False with one line in `error`.
    bool OpenOutputs(int width, int height, std::string* error);
    // Installs `demo`'s frame observer and the destroy hook; the demo must outlive the
    // attachment.
    void Attach(app::Demo& demo);
    // Takes the final image if the window is still open, then removes the hooks; the
    // session sees no more frames.
    void Detach();
    // The whole run on `demo`, attached for its length, on a headless window with
    // --headless, else on the display when one opens. Returns WinMain's result.
    int Run(app::Demo& demo);
    // Completes the outputs: the PNG of the last frame, the trace and the recording.
    bool Finish(std::string* error);

    std::uint64_t FramesRendered() const { return run_.FramesRendered(); }
    const RunStats& Stats() const { return stats_; }

private:
    void AtIdle();
    void AnnounceHeadlessFallback();
    void OnFrame();
    // Keeps the window's image for the PNG once the run is over (the window closing, or
    // the loop ending with it still open), not at every frame.
    void CaptureFinalImage();
    bool WritePng(std::string* error);

    const LauncherOptions& Options() const { return run_.Options(); }

    Session run_;
    app::Demo* demo_ = nullptr;
    bool announced_ = false;
    bool recording_ = false;
    RunStats stats_;
    FrameRecorder recorder_;
    platform::OutputFile png_;
    platform::Image frameImage_;  // reused for every recorded frame
    platform::Image finalImage_;
    bool haveFinalImage_ = false;
};

}  // namespace launcher
