// The demo in a web page, driven by the launcher's session (launcher/session.h) as the
// desktop's is. The page calls springdrop_start once with its address's options, then
// springdrop_frame from every animation frame: each call runs turns of the desktop's
// message loop, handing the window procedure what is waiting, until one of them renders
// a frame. With --frames the page stops after that many frames and leaves the window,
// its image and the body in place for the page to read. --trace writes into the page's
// in-memory file system, where the page reads it back.
#include "app/demo.h"
#include "launcher/options.h"
#include "launcher/page_options.h"
#include "launcher/session.h"

#include <emscripten.h>
#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Page {
    app::Demo demo;
    std::optional<launcher::Session> session;  // made by a start with valid options
    std::string message;                       // the last error or result handed to the page
};

Page g_page;

launcher::RunState State() { return g_page.session ? g_page.session->State() : launcher::RunState::NotStarted; }

const char* StateName(launcher::RunState state) {
    switch (state) {
        case launcher::RunState::NotStarted: return "not started";
        case launcher::RunState::Running: return "running";
        case launcher::RunState::Quit: return "quit";
        case launcher::RunState::FrameLimit: return "frame limit";
        case launcher::RunState::Stopped: return "stopped";
    }
    return "";
}

bool Refuse(const std::string& message) {
    g_page.message = "springdrop: " + message;
    return false;
}

bool Start(const std::string& query) {
    if (State() != launcher::RunState::NotStarted) return Refuse("already started");
    std::vector<std::string> arguments = {"springdrop"};
    std::string error;
    if (!launcher::PageOptionsToArguments(query, &arguments, &error)) return Refuse(error);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    launcher::LauncherOptions options;
    if (launcher::ParseLauncherOptions(static_cast<int>(argv.size()), argv.data(), &options, &error) !=
        launcher::LauncherAction::Run)
        return Refuse(error.empty() ? "the page takes no --help or --version" : error);
    if (options.headless || !options.pngPath.empty() || !options.recordPath.empty())
        return Refuse("the page shows its frames on the canvas; --headless, --png and --record are not available");
    // No shell started this process to give it the usual file mask, and the runtime's own
    // denies every permission to the files it creates.
    if (!options.tracePath.empty()) umask(022);
    launcher::Session& session = g_page.session.emplace(options);
    if (!session.OpenTrace(&error)) return Refuse(error);

    session.Attach(g_page.demo);
    switch (session.Start(platform::Backend::Web)) {
        case app::StartResult::Started: return true;
        case app::StartResult::OutOfMemory: return Refuse("out of memory");
        case app::StartResult::NoWindow: return Refuse("cannot create the main window");
    }
    return false;
}

// Once the run has ended the page reads the trace back, or the reason there is none.
void FinishTrace() {
    launcher::Session& session = *g_page.session;
    if (!session.Tracing()) return;
    std::string error;
    g_page.message = session.FinishTrace(&error) ? session.Options().tracePath : "springdrop: " + error;
}

// Scripted input due before the next frame, then turns of the message loop until one
// renders the frame.
bool Frame() {
    if (State() != launcher::RunState::Running) return false;
    if (g_page.session->PrepareNextFrame() && g_page.session->RenderNextFrame()) return true;
    FinishTrace();
    return false;
}

void AppendFloat(std::string& out, const char* name, float value) {
    char number[32];
    std::snprintf(number, sizeof(number), "\"%s\":%.9g", name, static_cast<double>(value));
    out += number;
}

std::string StateJson() {
    std::string json = "{\"state\":\"";
    json += StateName(State());
    const std::uint64_t frames = g_page.session ? g_page.session->FramesRendered() : 0;
    json += "\",\"frames\":" + std::to_string(frames) + ",";
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
// gives it (see launcher/page_options.h). 1 on success; on failure 0, and
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
