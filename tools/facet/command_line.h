// The option parsing every facet command shares: named options (with or without a value)
// and positional arguments, each option at most once, as springdrop's launcher does.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

struct OptionSpec {
    const char* name;  // "--radius"
    bool takesValue;
};

struct ParsedCommandLine {
    bool help = false;
    std::vector<std::string> positionals;

    bool Has(const char* name) const;
    // The option's value; null when the option was not given.
    const char* Value(const char* name) const;

    std::vector<std::pair<std::string, const char*>> options;  // name, value (null for a flag)
};

// Parses the arguments after the command's name. --help or -h stops parsing with `help`
// set. False after printing one line on standard error ("facet COMMAND: why") for an
// unknown option, an option given twice, or a missing value. Arguments that do not start
// with "-" (and "-" itself) are positional, and so is every argument after "--", which
// lets a file name start with "-".
bool ParseCommandLine(const char* command, int argc, char** argv, std::initializer_list<OptionSpec> specs,
                      ParsedCommandLine* parsed);

// The thread count of --threads (`text`: a whole number from 1 to 1024), or every
// hardware thread when `text` is null. False after printing one line on standard error.
bool ParseThreadCount(const char* command, const char* text, unsigned* threads);
