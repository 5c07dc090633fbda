// The run both drivers share: start-up, frame counting, the frame limit, the input
// script and the trace.
#include "launcher/session.h"

#include "sim/scene.h"

#include <utility>

namespace launcher {

Session::Session(const LauncherOptions& options) : options_(options) {}

Session::~Session() { Detach(); }

bool Session::OpenTrace(std::string* error) {
    if (options_.tracePath.empty()) return true;
    if (!trace_.Open(options_.tracePath, sim::kSceneMassCount, error)) return false;
    tracing_ = true;
    return true;
}

void Session::Attach(app::Demo& demo, app::FrameObserver onFrame) {
    demo_ = &demo;
    onFrame_ = std::move(onFrame);
    demo.frameObserver = [this](bool bodyStepped) { OnFrame(bodyStepped); };
}

void Session::Detach() {
    if (demo_ != nullptr) demo_->frameObserver = {};
    demo_ = nullptr;
    onFrame_ = {};
}

app::StartResult Session::Start(platform::Backend backend) {
    platform::SetBackend(backend);
    if (options_.fixedFps > 0.0) platform::UseFixedRateCounter(options_.fixedFps);
    const app::StartResult started = app::StartDemo(*demo_, GetModuleHandleA(nullptr), SW_SHOWDEFAULT);
    if (started == app::StartResult::Started) state_ = RunState::Running;
    return started;
}

int Session::RunToEnd(platform::Backend backend, const std::function<void()>& atIdle) {
    const app::StartResult started = Start(backend);
    if (started != app::StartResult::Started) return app::FailedStartCode(started);
    // The queue is empty: unless something is posted here, the next frame is rendered now.
    platform::SetIdleHook([this, &atIdle] {
        if (state_ != RunState::Running) return;  // the close is posted already
        if (atIdle) atIdle();
        // The default handling of the close destroys the window, Shutdown runs and the
        // quit message follows.
        if (!PrepareNextFrame()) PostMessageA(demo_->hwnd, WM_CLOSE, 0, 0);
    });
    while (RenderNextFrame()) {
    }
    platform::SetIdleHook({});
    return static_cast<int>(demo_->msg.wParam);
}

bool Session::PrepareNextFrame() {
    if (state_ != RunState::Running) return false;
    if (options_.frameLimit != 0 && framesRendered_ >= options_.frameLimit) {
        state_ = RunState::FrameLimit;
        return false;
    }
    const std::uint64_t nextFrame = framesRendered_ + 1;
    while (nextInput_ < options_.inputs.size() && options_.inputs[nextInput_].frame <= nextFrame)
        InjectScriptedInput(demo_->hwnd, options_.inputs[nextInput_++]);
    return true;
}

bool Session::RenderNextFrame() {
    for (;;) {
        switch (app::RunLoopTurn(*demo_)) {
            case app::LoopTurn::Message: break;
            case app::LoopTurn::Frame: return true;
            case app::LoopTurn::Quit: state_ = RunState::Quit; return false;
        }
    }
}

void Session::Stop() {
    if (state_ == RunState::Running) state_ = RunState::Stopped;
}

bool Session::FinishTrace(std::string* error) {
    if (!tracing_) return true;
    tracing_ = false;
    return trace_.Commit(error);
}

void Session::OnFrame(bool bodyStepped) {
    ++framesRendered_;
    if (tracing_ && bodyStepped) trace_.WriteRow(framesRendered_, demo_->dropHeight, *demo_->body);
    if (onFrame_) onFrame_(bodyStepped);
}

}  // namespace launcher
