// One run of the demo as both drivers see it, the desktop launcher (which runs it to its
// end and adds the PNG, the recording, signals and statistics) and the web page (which
// asks for one frame per animation frame and adds its JSON state). The session starts
// the demo with the options' clock, counts the frames it renders, ends the run once
// --frames frames are rendered, injects the --input script at the idle moment just
// before the frame each item names, and writes the --trace row of every frame in which
// the body was stepped.
#pragma once

#include "app/demo.h"
#include "app/entry.h"
#include "launcher/options.h"
#include "launcher/trace.h"
#include "springdrop/shell/shell.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace launcher {

// NotStarted until the start-up succeeds. A running run ends at its frame limit, when a
// driver stops it (the desktop, for a stop signal) or when the quit message arrives; the
// quit message ends any run, so a closed window always reads Quit.
enum class RunState { NotStarted, Running, FrameLimit, Stopped, Quit };

class Session {
public:
    explicit Session(const LauncherOptions& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const LauncherOptions& Options() const { return options_; }

    // Opens the --trace output (header included) when the options name one. False with
    // one line in `error`.
    bool OpenTrace(std::string* error);

    // Sees every frame of `demo` from now until Detach: counts it, writes its trace row,
    // then hands it to `onFrame`. The demo must outlive the attachment.
    void Attach(app::Demo& demo, app::FrameObserver onFrame = {});
    void Detach();

    // The start-up of the attached demo on windows of `backend`, with the fixed-rate
    // counter when the options ask for one. Running once it has started.
    app::StartResult Start(platform::Backend backend);
    // The whole run as the desktop has it: the start-up, then frames until the quit
    // message. At the idle moment before each frame `atIdle` runs (it may Stop the run),
    // then PrepareNextFrame; once that declines, the window is closed through the ordinary
    // close path, so the run ends as a user's close would end it. Returns WinMain's result
    // (see app::RunDemo).
    int RunToEnd(platform::Backend backend, const std::function<void()>& atIdle = {});

    // Frame by frame, as the page has it: PrepareNextFrame, then RenderNextFrame, for as
    // long as both say true. The window stays open when the run ends at its limit.
    //
    // The idle moment before the next frame. False when the run is not running, or has
    // just reached its frame limit (the state becomes FrameLimit); otherwise injects the
    // script's items due by the next frame and returns true.
    bool PrepareNextFrame();
    // Turns of the message loop until one renders a frame (true) or the quit message
    // arrives (false; the state becomes Quit).
    bool RenderNextFrame();

    // Ends a running run before its frame limit.
    void Stop();

    // Completes the trace; later calls, and runs without a trace, succeed at once.
    bool FinishTrace(std::string* error);
    bool Tracing() const { return tracing_; }
    // The errno of the trace's first failed write, or 0.
    int TraceWriteFailure() const { return trace_.WriteFailure(); }

    RunState State() const { return state_; }
    std::uint64_t FramesRendered() const { return framesRendered_; }

private:
    void OnFrame(bool bodyStepped);

    LauncherOptions options_;
    app::Demo* demo_ = nullptr;
    app::FrameObserver onFrame_;
    RunState state_ = RunState::NotStarted;
    std::uint64_t framesRendered_ = 0;
    std::size_t nextInput_ = 0;
    TraceWriter trace_;
    bool tracing_ = false;
};

}  // namespace launcher
