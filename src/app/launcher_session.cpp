// The launcher's hooks into the message loop and the frame sequence.
#include "app/launcher_session.h"

#include "app/launcher_signals.h"
#include "springdrop/image/png_file.h"

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <utility>

namespace launcher {

LauncherSession::LauncherSession(const LauncherOptions& options) : options_(options) {}

LauncherSession::~LauncherSession() { Detach(); }

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

bool LauncherSession::OpenOutputs(int width, int height, std::string* error) {
    if (!RefuseSharedTargets(options_, error)) return false;
    if (!options_.pngPath.empty() && !png_.Open(options_.pngPath, error)) return false;
    if (!options_.tracePath.empty()) {
        if (!trace_.Open(options_.tracePath, sim::kSceneMassCount, error)) return false;
        tracing_ = true;
    }
    if (!options_.recordPath.empty()) {
        // The simulation advances 0.01 s per frame, so 100 frames a second play it in real
        // time unless a fixed rate says otherwise.
        const double rate = options_.fixedFps > 0.0 ? options_.fixedFps : 100.0;
        if (!recorder_.Start(options_.recordPath, width, height, rate, error)) return false;
        recording_ = true;
    }
    return true;
}

void LauncherSession::Attach(app::Demo& demo) {
    demo_ = &demo;
    platform::SetIdleHook([this] { OnIdle(); });
    demo.frameObserver = [this](bool bodyStepped) { OnFrame(bodyStepped); };
    platform::SetDestroyHook([this](HWND hwnd) {
        if (hwnd == demo_->hwnd) CaptureFinalImage();
    });
}

void LauncherSession::Detach() {
    // Escape ends the loop with the window still open; a close captured it already.
    CaptureFinalImage();
    platform::SetIdleHook({});
    platform::SetDestroyHook({});
    if (demo_ != nullptr) demo_->frameObserver = {};
    demo_ = nullptr;
}

// The queue is empty: unless something is posted here, the next frame is rendered now.
void LauncherSession::OnIdle() {
    if (closePosted_) return;
    if (!announced_) AnnounceHeadlessFallback();
    if ((options_.frameLimit != 0 && framesRendered_ >= options_.frameLimit) || StopSignal() != 0) {
        // The ordinary close path, after --frames frames or when a signal asked to stop:
        // the default handling destroys the window, Shutdown runs and the quit message
        // follows.
        PostMessageA(demo_->hwnd, WM_CLOSE, 0, 0);
        closePosted_ = true;
        return;
    }
    const std::uint64_t nextFrame = framesRendered_ + 1;
    while (nextInput_ < options_.inputs.size() && options_.inputs[nextInput_].frame <= nextFrame)
        InjectScriptedInput(demo_->hwnd, options_.inputs[nextInput_++]);
}

// Said once, before the first frame, when there was no display to open: a run that
// shows nothing and ends only on Ctrl+C must say so, and how to get a picture instead.
void LauncherSession::AnnounceHeadlessFallback() {
    announced_ = true;
    if (platform::ActiveBackend() != platform::Backend::Headless) return;
    const std::string reason = platform::DisplayUnavailableReason();
    if (reason.empty()) return;
    if (options_.frameLimit != 0)
        std::fprintf(stderr, "springdrop: %s; running headless for %llu frames\n", reason.c_str(),
                     static_cast<unsigned long long>(options_.frameLimit));
    else
        std::fprintf(stderr,
                     "springdrop: %s; running headless until Ctrl+C (for a picture: --frames N --png out.png)\n",
                     reason.c_str());
}

void LauncherSession::OnFrame(bool bodyStepped) {
    ++framesRendered_;
    if (options_.stats) stats_.FrameEnded(framesRendered_);
    if (tracing_ && bodyStepped) trace_.WriteRow(framesRendered_, demo_->dropHeight, *demo_->body);
    if (recording_ && platform::ReadClientImage(demo_->hwnd, &frameImage_)) recorder_.AddFrame(frameImage_);
}

void LauncherSession::CaptureFinalImage() {
    if (options_.pngPath.empty() || haveFinalImage_ || framesRendered_ == 0 || demo_ == nullptr) return;
    haveFinalImage_ = platform::ReadClientImage(demo_->hwnd, &finalImage_);
}

bool LauncherSession::WritePng(std::string* error) {
    if (!haveFinalImage_) {
        *error = "cannot write \"" + options_.pngPath + "\": no frame was rendered";
        png_.Discard();
        return false;
    }
    std::string reason;
    if (!platform::WritePng(png_.Stream(), finalImage_, &reason)) {
        *error = "cannot write \"" + options_.pngPath + "\": " + reason;
        png_.Discard();
        return false;
    }
    return png_.Commit(error);
}

bool LauncherSession::Finish(std::string* error) {
    std::string firstError;
    std::string message;
    auto note = [&](bool done) {
        if (!done && firstError.empty()) firstError = message;
    };
    // An output whose reader went away (`| head`) is how a pipeline ends rather than a
    // fault: its SIGPIPE already stopped the run, and the exit code says so.
    const auto readerGone = [](int failure) { return failure == EPIPE; };
    if (tracing_) note(trace_.Commit(&message) || readerGone(trace_.WriteFailure()));
    if (recording_) note(recorder_.Finish(&message));
    if (!options_.pngPath.empty()) note(WritePng(&message) || readerGone(png_.WriteFailure()));
    if (firstError.empty()) return true;
    *error = firstError;
    return false;
}

}  // namespace launcher
