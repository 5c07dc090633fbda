// The springdrop launcher's command line. WinMain ignores its command line, so the
// launcher takes its options before starting it.
#pragma once

#include "launcher/input_script.h"

#include <cstdint>
#include <string>
#include <vector>

namespace launcher {

struct LauncherOptions {
    bool headless = false;
    std::uint64_t frameLimit = 0;  // 0: run until the user quits
    double fixedFps = 0.0;         // 0: the counter follows the monotonic clock
    std::vector<ScriptedInput> inputs;
    std::string pngPath;
    std::string recordPath;
    std::string tracePath;
    bool stats = false;  // print the slowest frame and the peak memory at the end
};

enum class LauncherAction { Run, ShowHelp, ShowVersion, Fail };

// Parses argv (argv[0] is the program). On Fail, `error` holds one line.
LauncherAction ParseLauncherOptions(int argc, const char* const* argv, LauncherOptions* options,
                                    std::string* error);

// Every option with a one-line description and an example.
std::string LauncherHelpText();

}  // namespace launcher
