// Parsing the launcher's options. Each option may be given once; values follow as the
// next argument or after '='.
#include "launcher/options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace launcher {

namespace {

// The counter counts 10,000,000 a second and a fixed rate advances it a whole number of
// counts per frame, which the frame timer measures as a 32-bit difference. So a rate is
// kept only when 10,000,000 / rate rounds to a count between 1 and 2^32 - 1 that gives
// the rate back to within a thousandth.
constexpr double kCountsPerSecond = 10000000.0;
constexpr double kMaxCountsPerFrame = 4294967295.0;
constexpr double kRateTolerance = 1e-3;

bool ParseFrameCount(const std::string& text, std::uint64_t* value) {
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, *value);
    return !text.empty() && failure == std::errc() && stop == end && *value >= 1;
}

std::string FormatRate(double rate) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.10g", rate);
    return text;
}

bool ParseRate(const std::string& text, double* value, std::string* error) {
    // A plain decimal number. strtod rather than from_chars, which not every standard
    // library provides for floating point; the character check keeps out what strtod
    // would read beyond that (leading blanks, a plus sign, hexadecimal, inf and nan).
    const bool plainDecimal = !text.empty() && text.find_first_not_of("0123456789.eE-") == std::string::npos;
    char* stop = nullptr;
    if (plainDecimal) *value = std::strtod(text.c_str(), &stop);
    if (!plainDecimal || stop != text.c_str() + text.size() || !std::isfinite(*value) || !(*value > 0.0)) {
        *error = "--fixed-fps needs a rate above 0, not \"" + text + "\"";
        return false;
    }
    const double exactCounts = kCountsPerSecond / *value;
    const double counts = std::round(exactCounts);
    if (exactCounts < 1.0 || counts > kMaxCountsPerFrame) {
        *error = "--fixed-fps needs a rate between " + FormatRate(kCountsPerSecond / kMaxCountsPerFrame) + " and " +
                 FormatRate(kCountsPerSecond) + " frames a second, not \"" + text + "\"";
        return false;
    }
    if (std::fabs(kCountsPerSecond / counts - *value) > kRateTolerance * *value) {
        const double lower = kCountsPerSecond / std::ceil(exactCounts);
        const double upper = kCountsPerSecond / std::floor(exactCounts);
        *error = "--fixed-fps " + text + " cannot be kept by the frame clock (10000000 counts a second, a whole " +
                 "number per frame); the nearest rates are " + FormatRate(lower) + " and " + FormatRate(upper);
        return false;
    }
    return true;
}

}  // namespace

LauncherAction ParseLauncherOptions(int argc, const char* const* argv, LauncherOptions* options,
                                    std::string* error) {
    std::set<std::string> seen;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        bool hasValue = false;
        if (const std::size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") return LauncherAction::ShowHelp;
        if (name == "--version") return LauncherAction::ShowVersion;

        const bool takesValue = name == "--frames" || name == "--fixed-fps" || name == "--input" ||
                                name == "--png" || name == "--record" || name == "--trace";
        const bool isFlag = name == "--headless" || name == "--stats";
        if (!takesValue && !isFlag) {
            *error = "unknown option \"" + std::string(argv[i]) + "\" (see --help)";
            return LauncherAction::Fail;
        }
        if (!seen.insert(name).second) {
            *error = "option " + name + " given more than once";
            return LauncherAction::Fail;
        }
        if (isFlag) {
            if (hasValue) {
                *error = "option " + name + " takes no value";
                return LauncherAction::Fail;
            }
            (name == "--headless" ? options->headless : options->stats) = true;
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                *error = "option " + name + " needs a value (see --help)";
                return LauncherAction::Fail;
            }
            value = argv[++i];
        }

        if (name == "--frames") {
            if (!ParseFrameCount(value, &options->frameLimit)) {
                *error = "--frames needs a whole number of at least 1, not \"" + value + "\"";
                return LauncherAction::Fail;
            }
        } else if (name == "--fixed-fps") {
            if (!ParseRate(value, &options->fixedFps, error)) return LauncherAction::Fail;
        } else if (name == "--input") {
            if (!ParseInputScript(value, &options->inputs, error)) return LauncherAction::Fail;
        } else if (value.empty()) {
            *error = "option " + name + " needs a file name";
            return LauncherAction::Fail;
        } else if (name == "--png") {
            options->pngPath = value;
        } else if (name == "--record") {
            options->recordPath = value;
        } else {
            options->tracePath = value;
        }
    }
    return LauncherAction::Run;
}

std::string LauncherHelpText() {
    return "usage: springdrop [options]\n"
           "\n"
           "A spring tetrahedron falls, bounces and settles. W/S walk, A/D raise and lower the eye,\n"
           "a right-button drag turns the view, F1 drops a new body, Escape quits.\n"
           "\n"
           "options:\n"
           "  --headless          run without a display window\n"
           "                      e.g. springdrop --headless --frames 600\n"
           "  --frames N          close the window after N frames (the ordinary close path runs)\n"
           "                      e.g. springdrop --frames 1000\n"
           "  --fixed-fps F       advance the performance counter by 1/F s per frame; F from\n"
           "                      0.002328306437 to 10000000, 10000000/F near a whole number\n"
           "                      e.g. springdrop --fixed-fps 100\n"
           "  --input SCRIPT      inject input just before the given frames, FRAME:EVENT,...\n"
           "                      events: W A S D F1 Escape Close Up Down Left Right, key:0xNN,\n"
           "                      rdown:X:Y, move:X:Y, rup:X:Y, drag:DX:DY\n"
           "                      e.g. springdrop --input 120:F1,300:W,400:drag:10:0,900:Escape\n"
           "  --png FILE          write the window's image after the last frame as PNG\n"
           "                      e.g. springdrop --headless --frames 600 --png out.png\n"
           "  --record FILE       record every frame through ffmpeg to an .mp4 or .gif file\n"
           "                      e.g. springdrop --headless --frames 900 --record fall.mp4\n"
           "  --trace FILE        write a CSV row of the body's state for every stepped frame\n"
           "                      e.g. springdrop --headless --frames 600 --trace t.csv\n"
           "  --stats             print the slowest frame's wall time and the peak memory at exit\n"
           "                      e.g. springdrop --headless --frames 100000 --stats\n"
           "  --help              show this text and exit\n"
           "                      e.g. springdrop --help\n"
           "  --version           print the version and exit\n"
           "                      e.g. springdrop --version\n"
           "\n"
           "Ctrl+C, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE end a run as closing the window does:\n"
           "every output is finished, and the exit code is 128 + the signal (130 for Ctrl+C).\n"
           "An output whose reader goes away (--trace /dev/stdout | head -1) ends the run the\n"
           "same way, silently, with 141 (128 + SIGPIPE). A second signal stops at once and\n"
           "removes the unfinished files.\n";
}

}  // namespace launcher
