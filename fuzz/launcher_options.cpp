// The launcher's option parser on arbitrary argument vectors (the input split at NUL
// bytes): no crash, and either options within their documented ranges or an error.
#include "launcher/options.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxArguments = 32;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments{"springdrop"};
    std::string current;
    for (std::size_t i = 0; i < size && arguments.size() < kMaxArguments; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (!current.empty() && arguments.size() < kMaxArguments) arguments.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);

    launcher::LauncherOptions options;
    std::string error;
    const launcher::LauncherAction action =
        launcher::ParseLauncherOptions(static_cast<int>(arguments.size()), argv.data(), &options, &error);
    if (action == launcher::LauncherAction::Fail) {
        Check(!error.empty());
        return 0;
    }
    Check(error.empty());
    Check(options.fixedFps == 0.0 ||
          (std::isfinite(options.fixedFps) && options.fixedFps > 0.0 && options.fixedFps <= 10000000.0 &&
           std::round(10000000.0 / options.fixedFps) <= 4294967295.0));
    for (std::size_t i = 1; i < options.inputs.size(); ++i)
        Check(options.inputs[i - 1].frame <= options.inputs[i].frame);
    return 0;
}
