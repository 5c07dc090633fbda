// The argument parsing of `facet sphere` on arbitrary argument vectors (the input split
// at NUL bytes): no crash, and accepted options hold a finite positive radius other than
// the library's default selector, and slice and stack counts of 2 or more. Its refusal
// lines go to standard error.
#include "sphere_arguments.h"

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
    std::vector<std::string> arguments;
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
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    SphereOptions options;
    bool help = false;
    if (ParseSphereArguments(static_cast<int>(arguments.size()), argv.data(), &options, &help) && !help) {
        Check(std::isfinite(options.radius) && options.radius > 0.0f);
        Check(options.slices >= 2 && options.stacks >= 2);
    }
    return 0;
}
