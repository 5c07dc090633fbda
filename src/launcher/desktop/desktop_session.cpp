// The desktop launcher's hooks into the message loop and the frame sequence, around the
// shared session.
#include "launcher/desktop/desktop_session.h"

#include "springdrop/image/png_file.h"
#include "launcher/desktop/signals.h"

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <utility>

namespace launcher {

DesktopSession::DesktopSession(const LauncherOptions& options) : run_(options) {}

DesktopSession::~DesktopSession() { Detach(); }

namespace {

// Two outputs written to one file would leave only the last one finished.
bool RefuseSharedTargets(const LauncherOptions& options, std::string* error) {
    const std::pair<const char*, const std::string*> outputs[] = {
        {"--png", &options.pngPath}, {"--trace", &options.tracePath}, {"--record", &options.recordPath}};
    for (std::size_t i = 0; i < std::size(outputs); ++i)
        for (std::size_t j = i + 1; j < std::size(outputs); ++j) {
            const std::string& first = *outputs[i].second;
            const std::string& second = *outputs[j].second;
            if (first.empty() || second.empty() || !platform::SameOutputTarget(first, second)) continue;
            *error = std::string(outputs[i].first) + " \"" + first + "\" and " + outputs[j].first + " \"" + second +
                     "\" name the same file";
            return false;
        }
    return true;
}

}  // namespace

bool DesktopSession::OpenOutputs(int width, int height, std::string* error) {
    const LauncherOptions& options = Options();
    if (!RefuseSharedTargets(options, error)) return false;
    if (!options.pngPath.empty() && !png_.Open(options.pngPath, error)) return false;
    if (!run_.OpenTrace(error)) return false;
    if (!options.recordPath.empty()) {
        // The simulation advances 0.01 s per frame, so 100 frames a second play it in real
        // time unless a fixed rate says otherwise.
        const double rate = options.fixedFps > 0.0 ? options.fixedFps : 100.0;
        if (!recorder_.Start(options.recordPath, width, height, rate, error)) return false;
        recording_ = true;
    }
    return true;
}

void DesktopSession::Attach(app::Demo& demo) {
    demo_ = &demo;
    run_.Attach(demo, [this](bool) { OnFrame(); });
    platform::SetDestroyHook([this](HWND hwnd) {
        if (hwnd == demo_->hwnd) CaptureFinalImage();
    });
}

void DesktopSession::Detach() {
    // Escape ends the loop with the window still open; a close captured it already.
    CaptureFinalImage();
    platform::SetDestroyHook({});
    run_.Detach();
    demo_ = nullptr;
}

int DesktopSession::Run(app::Demo& demo) {
    Attach(demo);
    const platform::Backend backend = Options().headless ? platform::Backend::Headless : platform::Backend::Auto;
    const int result = run_.RunToEnd(backend, [this] { AtIdle(); });
    Detach();
    return result;
}

void DesktopSession::AtIdle() {
    if (!announced_) AnnounceHeadlessFallback();
    if (StopSignal() != 0) run_.Stop();
}

// Said once, before the first frame, when there was no display to open: a run that
// shows nothing and ends only on Ctrl+C must say so, and how to get a picture instead.
void DesktopSession::AnnounceHeadlessFallback() {
    announced_ = true;
    if (platform::ActiveBackend() != platform::Backend::Headless) return;
    const std::string reason = platform::DisplayUnavailableReason();
    if (reason.empty()) return;
    if (Options().frameLimit != 0)
        std::fprintf(stderr, "springdrop: %s; running headless for %llu frames\n", reason.c_str(),
                     static_cast<unsigned long long>(Options().frameLimit));
    else
        std::fprintf(stderr,
                     "springdrop: %s; running headless until Ctrl+C (for a picture: --frames N --png out.png)\n",
                     reason.c_str());
}

void DesktopSession::OnFrame() {
    if (Options().stats) stats_.FrameEnded(run_.FramesRendered());
    if (recording_ && platform::ReadClientImage(demo_->hwnd, &frameImage_)) recorder_.AddFrame(frameImage_);
}

void DesktopSession::CaptureFinalImage() {
    if (Options().pngPath.empty() || haveFinalImage_ || run_.FramesRendered() == 0 || demo_ == nullptr) return;
    haveFinalImage_ = platform::ReadClientImage(demo_->hwnd, &finalImage_);
}

bool DesktopSession::WritePng(std::string* error) {
    if (!haveFinalImage_) {
        *error = "cannot write \"" + Options().pngPath + "\": no frame was rendered";
        png_.Discard();
        return false;
    }
    std::string reason;
    if (!platform::WritePng(png_.Stream(), finalImage_, &reason)) {
        *error = "cannot write \"" + Options().pngPath + "\": " + reason;
        png_.Discard();
        return false;
    }
    return png_.Commit(error);
}

bool DesktopSession::Finish(std::string* error) {
    std::string firstError;
    std::string message;
    auto note = [&](bool done) {
        if (!done && firstError.empty()) firstError = message;
    };
    // An output whose reader went away (`| head`) is how a pipeline ends rather than a
    // fault: its SIGPIPE already stopped the run, and the exit code says so.
    const auto readerGone = [](int failure) { return failure == EPIPE; };
    note(run_.FinishTrace(&message) || readerGone(run_.TraceWriteFailure()));
    if (recording_) note(recorder_.Finish(&message));
    if (!Options().pngPath.empty()) note(WritePng(&message) || readerGone(png_.WriteFailure()));
    if (firstError.empty()) return true;
    *error = firstError;
    return false;
}

}  // namespace launcher
