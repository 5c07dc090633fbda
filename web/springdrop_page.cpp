// The demo in a web page. The page calls springdrop_start once with its address's
// options, then springdrop_frame from every animation frame: each call runs turns of the
// desktop's message loop, handing the window procedure what is waiting, until one of them
// renders a frame. With --frames the page stops after that many frames
// and leaves the window, its image and the body in place for the page to read. --trace
// writes into the page's in-memory file system, where the page reads it back.
#include "app/demo.h"
#include "app/entry.h"
#include "app/launcher_options.h"
#include "app/launcher_page_options.h"
#include "app/launcher_trace.h"
#include "app/lifecycle.h"
#include "springdrop/shell/shell.h"

#include <emscripten.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

enum class PageState { NotStarted, Running, Quit, FrameLimit };

struct Page {
    app::Demo demo;
    launcher::LauncherOptions options;
    PageState state = PageState::NotStarted;
    std::uint64_t framesRendered = 0;
    std::size_t nextInput = 0;
    launcher::TraceWriter trace;
    bool tracing = false;
    std::string message;  // the last error or result handed to the page
};

Page g_page;

const char* StateName(PageState state) {
    switch (state) {
        case PageState::NotStarted: return "not started";
        case PageState::Running: return "running";
        case PageState::Quit: return "quit";
        case PageState::FrameLimit: return "frame limit";
    }
    return "";
}

bool Refuse(const std::string& message) {
    g_page.message = "springdrop: " + message;
    return false;
}

bool Start(const std::string& query) {
    if (g_page.state != PageState::NotStarted) return Refuse("already started");
    std::vector<std::string> arguments = {"springdrop"};
    std::string error;
    if (!launcher::PageOptionsToArguments(query, &arguments, &error)) return Refuse(error);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    launcher::LauncherOptions& options = g_page.options;
    if (launcher::ParseLauncherOptions(static_cast<int>(argv.size()), argv.data(), &options, &error) !=
        launcher::LauncherAction::Run)
        return Refuse(error.empty() ? "the page takes no --help or --version" : error);
    if (options.headless || !options.pngPath.empty() || !options.recordPath.empty())
        return Refuse("the page shows its frames on the canvas; --headless, --png and --record are not available");
    if (!options.tracePath.empty()) {
        // No shell started this process to give it the usual file mask, and the runtime's
        // own denies every permission to the files it creates.
        umask(022);
        if (!g_page.trace.Open(options.tracePath, sim::kSceneMassCount, &error)) return Refuse(error);
        g_page.tracing = true;
    }

    platform::SetBackend(platform::Backend::Web);
    if (options.fixedFps > 0.0) platform::UseFixedRateCounter(options.fixedFps);
    app::Demo& demo = g_page.demo;
    demo.frameObserver = [](bool bodyStepped) {
        ++g_page.framesRendered;
        if (g_page.tracing && bodyStepped)
            g_page.trace.WriteRow(g_page.framesRendered, g_page.demo.dropHeight, *g_page.demo.body);
    };
    if (!app::AllocateLongLivedObjects(demo)) return Refuse("out of memory");
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    if (app::RegisterWindowClass(demo, instance) == 0 || app::CreateMainWindow(demo, instance, SW_SHOWDEFAULT) == 0)
        return Refuse("cannot create the main window");
    g_page.state = PageState::Running;
    return true;
}

void Stop(PageState state) {
    g_page.state = state;
    if (!g_page.tracing) return;
    g_page.tracing = false;
    std::string error;
    g_page.message = g_page.trace.Commit(&error) ? g_page.options.tracePath : "springdrop: " + error;
}

// Scripted input due before the next frame, then turns of the message loop until one
// renders the frame.
bool Frame() {
    if (g_page.state != PageState::Running) return false;
    const launcher::LauncherOptions& options = g_page.options;
    if (options.frameLimit != 0 && g_page.framesRendered >= options.frameLimit) {
        Stop(PageState::FrameLimit);
        return false;
    }
    const std::uint64_t nextFrame = g_page.framesRendered + 1;
    while (g_page.nextInput < options.inputs.size() && options.inputs[g_page.nextInput].frame <= nextFrame)
        launcher::InjectScriptedInput(g_page.demo.hwnd, options.inputs[g_page.nextInput++]);
    for (;;) {
        switch (app::RunLoopTurn(g_page.demo)) {
            case app::LoopTurn::Message: break;
            case app::LoopTurn::Frame: return true;
            case app::LoopTurn::Quit: Stop(PageState::Quit); return false;
        }
    }
}

void AppendFloat(std::string& out, const char* name, float value) {
    char number[32];
    std::snprintf(number, sizeof(number), "\"%s\":%.9g", name, static_cast<double>(value));
    out += number;
}

std::string StateJson() {
    std::string json = "{\"state\":\"";
    json += StateName(g_page.state);
    json += "\",\"frames\":" + std::to_string(g_page.framesRendered) + ",";
    const app::Demo& demo = g_page.demo;
    AppendFloat(json, "dropHeight", demo.dropHeight);
    json += ",\"masses\":[";
    // The shut-down on the close path forgets the body and the camera it frees.
    for (int i = 0; demo.body != nullptr && i < demo.body->massCount; ++i) {
        const sim::MassPoint& m = demo.body->masses[i];
        const float values[6] = {m.position.x, m.position.y, m.position.z, m.velocity.x, m.velocity.y, m.velocity.z};
        json += i == 0 ? "[" : ",[";
        for (int k = 0; k < 6; ++k) {
            char number[24];
            std::snprintf(number, sizeof(number), "%s%.9g", k == 0 ? "" : ",", static_cast<double>(values[k]));
            json += number;
        }
        json += "]";
    }
    json += "],\"camera\":{";
    if (const render::Camera* camera = demo.camera.get()) {
        AppendFloat(json, "x", camera->x);
        json += ",";
        AppendFloat(json, "y", camera->y);
        json += ",";
        AppendFloat(json, "z", camera->z);
        json += ",";
        AppendFloat(json, "yaw", camera->Yaw());
        json += ",";
        AppendFloat(json, "pitch", camera->pitch);
    }
    json += "}}";
    return json;
}

}  // namespace

extern "C" {

// Starts the demo with the options of the page's address, its query as location.search
// gives it (see launcher_page_options.h). 1 on success; on failure 0, and
// springdrop_message() says why in one line.
EMSCRIPTEN_KEEPALIVE int springdrop_start(const char* query) { return Start(query ? query : "") ? 1 : 0; }

// Renders one frame; 0 once the demo has ended (Escape, the close path or --frames).
EMSCRIPTEN_KEEPALIVE int springdrop_frame() { return Frame() ? 1 : 0; }

// The state as JSON: run state, frames rendered, drop height, each mass's position and
// velocity, and the camera. Valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* springdrop_state() {
    static std::string json;
    json = StateJson();
    return json.c_str();
}

// The last error, or once a traced run has ended the path of its trace file.
EMSCRIPTEN_KEEPALIVE const char* springdrop_message() { return g_page.message.c_str(); }

}  // extern "C"
