// The web page's address options: each value stays one option's value whatever bytes it
// holds, names are the page's four and nothing inherited, and trace is a real switch.
#include "launcher/options.h"
#include "launcher/page_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Arguments = std::vector<std::string>;

// The arguments for `query`, or the refusal as "refused: <message>".
Arguments Convert(const std::string& query) {
    Arguments arguments;
    std::string error;
    if (!launcher::PageOptionsToArguments(query, &arguments, &error)) return {"refused: " + error};
    return arguments;
}

// What the launcher makes of the page's arguments; false with its message when it refuses.
bool Launch(const std::string& query, launcher::LauncherOptions* options, std::string* error) {
    Arguments arguments = {"springdrop"};
    if (!launcher::PageOptionsToArguments(query, &arguments, error)) return false;
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    return launcher::ParseLauncherOptions(static_cast<int>(argv.size()), argv.data(), options, error) ==
           launcher::LauncherAction::Run;
}

TEST(PageOptions, TheDocumentedAddressGivesTheLaunchersOptions) {
    launcher::LauncherOptions options;
    std::string error;
    ASSERT_TRUE(Launch("?frames=600&fixedFps=100&input=100:F1,300:W&trace=1", &options, &error)) << error;
    EXPECT_EQ(options.frameLimit, 600u);
    EXPECT_EQ(options.fixedFps, 100.0);
    EXPECT_EQ(options.inputs.size(), 2u);
    EXPECT_EQ(options.tracePath, launcher::kPageTracePath);

    // Form decoding: %XX is a byte, '+' a space, a stray '%' stays; empty fields are skipped.
    EXPECT_EQ(Convert("input=100%3AF1%2C300:W"), Arguments{"--input=100:F1,300:W"});
    EXPECT_EQ(Convert("input=a+b%2"), Arguments{"--input=a b%2"});
    EXPECT_EQ(Convert(""), Arguments{});
    EXPECT_EQ(Convert("?&&frames=3&"), Arguments{"--frames=3"});
}

TEST(PageOptions, ControlCharactersAnywhereInAValueAreRefused) {
    for (const char* query : {"?frames=5%0A--trace%0Ax.csv", "?frames=5%00", "?frames=5%0D", "?input=1:W%09",
                              "?fixedFps=%7F100", "?frames=5\n--trace"}) {
        const Arguments result = Convert(query);
        ASSERT_EQ(result.size(), 1u) << query;
        EXPECT_EQ(result[0].rfind("refused: page option \"", 0), 0u) << query << ": " << result[0];
        EXPECT_NE(result[0].find("control character (\\x"), std::string::npos) << result[0];
        EXPECT_EQ(result[0].find('\n'), std::string::npos) << "the message is one line";
    }
    EXPECT_EQ(Convert("?frames=5%00")[0],
              "refused: page option \"frames\" holds a control character (\\x00) in its value \"5\\x00\"");
}

// A value that looks like an option is still the value of its own option, which the
// launcher then judges; it never becomes an option of its own.
TEST(PageOptions, AValueNeverBecomesAnOption) {
    launcher::LauncherOptions options;
    std::string error;
    EXPECT_FALSE(Launch("?frames=--trace", &options, &error));
    EXPECT_EQ(error, "--frames needs a whole number of at least 1, not \"--trace\"");
    EXPECT_FALSE(Launch("?input=--png=x.png", &options, &error));
    EXPECT_TRUE(options.pngPath.empty());
    EXPECT_TRUE(options.tracePath.empty());
}

TEST(PageOptions, OnlyThePagesOwnNamesAreKnown) {
    for (const char* name : {"toString", "constructor", "__proto__", "hasOwnProperty", "valueOf", "Frames", "png",
                             "headless", "--frames"}) {
        EXPECT_EQ(Convert(std::string("?") + name + "=1"),
                  Arguments{std::string("refused: unknown page option \"") + name +
                            "\" (frames, fixedFps, input, trace)"});
    }
    EXPECT_EQ(Convert("?fr%0Aames=1"),
              Arguments{"refused: unknown page option \"fr\\x0Aames\" (frames, fixedFps, input, trace)"});
    EXPECT_EQ(Convert("?frames=1&frames=2"), Arguments{"refused: page option \"frames\" given more than once"});
    EXPECT_EQ(Convert("?trace=0&trace=1"), Arguments{"refused: page option \"trace\" given more than once"});
}

TEST(PageOptions, TraceIsOnForOneOrTrueOffForZeroOrFalseAndNothingElse) {
    const Arguments on = {std::string("--trace=") + launcher::kPageTracePath};
    EXPECT_EQ(Convert("?trace=1"), on);
    EXPECT_EQ(Convert("?trace=true"), on);
    EXPECT_EQ(Convert("?trace=0"), Arguments{});
    EXPECT_EQ(Convert("?trace=false"), Arguments{});
    for (const char* value : {"", "yes", "2", "TRUE", "on", " 1", "1 "}) {
        const std::string query = std::string("?trace=") + value;
        EXPECT_EQ(Convert(query),
                  Arguments{"refused: page option \"trace\" takes 0, 1, true or false, not \"" + std::string(value) +
                            "\""})
            << query;
    }
    EXPECT_EQ(Convert("?trace")[0].rfind("refused: page option \"trace\" takes", 0), 0u);
}

}  // namespace
