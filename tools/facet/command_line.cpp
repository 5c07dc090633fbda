// ParseCommandLine: see command_line.h.
#include "command_line.h"

#include "text_escapes.h"

#include "facet/thread_pool.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool ParsedCommandLine::Has(const char* name) const {
    for (const auto& option : options)
        if (option.first == name) return true;
    return false;
}

const char* ParsedCommandLine::Value(const char* name) const {
    for (const auto& option : options)
        if (option.first == name) return option.second;
    return nullptr;
}

bool ParseCommandLine(const char* command, int argc, char** argv, std::initializer_list<OptionSpec> specs,
                      ParsedCommandLine* parsed) {
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i];
        if (!optionsEnded && std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || argument[0] != '-' || argument[1] == '\0') {
            parsed->positionals.emplace_back(argument);
            continue;
        }
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            parsed->help = true;
            return true;
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : specs)
            if (std::strcmp(candidate.name, argument) == 0) spec = &candidate;
        if (spec == nullptr) {
            std::fprintf(stderr, "facet %s: unknown option %s (try facet %s --help)\n", command,
                         QuotedArgument(argument).c_str(), command);
            return false;
        }
        if (parsed->Has(spec->name)) {
            std::fprintf(stderr, "facet %s: %s is given more than once\n", command, spec->name);
            return false;
        }
        const char* value = nullptr;
        if (spec->takesValue) {
            if (i + 1 == argc) {
                std::fprintf(stderr, "facet %s: %s needs a value\n", command, spec->name);
                return false;
            }
            value = argv[++i];
        }
        parsed->options.emplace_back(spec->name, value);
    }
    return true;
}

bool ParseThreadCount(const char* command, const char* text, unsigned* threads) {
    constexpr unsigned long kMostThreads = 1024;
    if (text == nullptr) {
        *threads = facet::ThreadPool::HardwareThreads();
        return true;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (text[0] < '0' || text[0] > '9' || end == text || *end != '\0' || errno != 0 || parsed < 1 ||
        parsed > kMostThreads) {
        std::fprintf(stderr, "facet %s: --threads needs a whole number from 1 to %lu, not %s\n", command, kMostThreads,
                     QuotedArgument(text).c_str());
        return false;
    }
    *threads = static_cast<unsigned>(parsed);
    return true;
}
