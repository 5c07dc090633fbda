// springdrop: the desktop launcher. It takes the options (WinMain ignores its command
// line), prepares the outputs, and then runs the demo as WinMain would, on the window
// backend and counter clock the options choose; WinMain's result becomes the exit code.
#include "app/demo.h"
#include "launcher/desktop/desktop_session.h"
#include "launcher/desktop/signals.h"
#include "launcher/options.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kUsageExitCode = 2;

// Messages quote the user's text, which may hold line breaks or other control bytes;
// those are shown as \xNN so the message stays one line.
std::string OneLine(const std::string& message) {
    std::string line;
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            line += c;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
        line += escaped;
    }
    return line;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "springdrop: %s\n", OneLine(message).c_str());
    return kUsageExitCode;
}

// What was printed reached standard output, or one line says why; a reader that went
// away ends the program as it ends a run (see signals.h).
int FlushStandardOutput(int code) {
    if (std::fflush(stdout) == 0) return code;
    if (errno == EPIPE) return launcher::ExitCodeForSignal(SIGPIPE);
    return Fail(std::string("cannot write standard output: ") + std::strerror(errno));
}

}  // namespace

int main(int argc, char** argv) {
    launcher::LauncherOptions options;
    std::string error;
    switch (launcher::ParseLauncherOptions(argc, argv, &options, &error)) {
        case launcher::LauncherAction::ShowHelp:
            std::fputs(launcher::LauncherHelpText().c_str(), stdout);
            return FlushStandardOutput(0);
        case launcher::LauncherAction::ShowVersion:
            std::printf("springdrop %s\n", SPRINGDROP_VERSION);
            return FlushStandardOutput(0);
        case launcher::LauncherAction::Fail:
            return Fail(error);
        case launcher::LauncherAction::Run:
            break;
    }

    launcher::InstallStopSignals();
    // The launcher stands where the platform would call WinMain, and makes the demo itself
    // so that it can watch its frames.
    app::Demo demo;
    launcher::DesktopSession session(options);
    if (!session.OpenOutputs(demo.windowWidth, demo.windowHeight, &error)) return Fail(error);
    const int result = session.Run(demo);
    if (!session.Finish(&error)) return Fail(error);
    if (options.stats) std::printf("%s\n", session.Stats().Line().c_str());
    const int code = FlushStandardOutput(result);
    if (launcher::StopSignal() != 0) return launcher::ExitCodeForSignal(launcher::StopSignal());
    return code;
}
