// Reading the web page's address options.
#include "launcher/page_options.h"

#include <cstdio>
#include <set>
#include <string_view>

namespace launcher {

namespace {

struct PageOption {
    std::string_view name;
    std::string_view launcherOption;  // empty for trace, which is a switch on the page
};

constexpr PageOption kPageOptions[] = {
    {"frames", "--frames"}, {"fixedFps", "--fixed-fps"}, {"input", "--input"}, {"trace", ""}};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A form field's decoding: '+' is a space and %XX a byte; a '%' without two hex digits
// after it stays as it is.
std::string Decode(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
        if (low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += text[i] == '+' ? ' ' : text[i];
        }
    }
    return decoded;
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// The text as a message may quote it: control characters as \xNN.
std::string Shown(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        if (!IsControl(c)) {
            shown += c;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof(escaped), "\\x%02X", static_cast<unsigned char>(c));
        shown += escaped;
    }
    return shown;
}

bool Refuse(const std::string& message, std::string* error) {
    *error = message;
    return false;
}

}  // namespace

bool PageOptionsToArguments(const std::string& query, std::vector<std::string>* arguments, std::string* error) {
    std::string_view rest = query;
    if (!rest.empty() && rest.front() == '?') rest.remove_prefix(1);
    std::set<std::string_view> seen;
    while (!rest.empty()) {
        const std::size_t ampersand = rest.find('&');
        const std::string_view field = rest.substr(0, ampersand);
        rest = ampersand == std::string_view::npos ? std::string_view() : rest.substr(ampersand + 1);
        if (field.empty()) continue;
        const std::size_t equals = field.find('=');
        const std::string name = Decode(field.substr(0, equals));
        const std::string value = equals == std::string_view::npos ? "" : Decode(field.substr(equals + 1));

        const PageOption* option = nullptr;
        for (const PageOption& candidate : kPageOptions)
            if (candidate.name == name) option = &candidate;
        if (option == nullptr)
            return Refuse("unknown page option \"" + Shown(name) + "\" (frames, fixedFps, input, trace)", error);
        for (const char c : value)
            if (IsControl(c))
                return Refuse("page option \"" + name + "\" holds a control character (" + Shown(std::string(1, c)) +
                                  ") in its value \"" + Shown(value) + "\"",
                              error);
        if (!seen.insert(option->name).second)
            return Refuse("page option \"" + name + "\" given more than once", error);

        if (!option->launcherOption.empty()) {
            arguments->push_back(std::string(option->launcherOption) + "=" + value);
        } else if (value == "1" || value == "true") {
            arguments->push_back(std::string("--trace=") + kPageTracePath);
        } else if (value != "0" && value != "false") {
            return Refuse("page option \"trace\" takes 0, 1, true or false, not \"" + value + "\"", error);
        }
    }
    return true;
}

}  // namespace launcher
