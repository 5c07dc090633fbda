// The page keys: browser key codes to virtual-key codes.
#include "springdrop/shell/web/dom_keys.h"

#include <array>
#include <utility>

namespace platform {

namespace {

constexpr std::array<std::pair<std::string_view, UINT>, 22> kNamedKeys = {{
    {"Escape", VK_ESCAPE},       {"Enter", VK_RETURN},        {"NumpadEnter", VK_RETURN},
    {"Space", VK_SPACE},         {"Tab", VK_TAB},             {"Backspace", VK_BACK},
    {"ArrowLeft", VK_LEFT},      {"ArrowUp", VK_UP},          {"ArrowRight", VK_RIGHT},
    {"ArrowDown", VK_DOWN},      {"PageUp", VK_PRIOR},        {"PageDown", VK_NEXT},
    {"Home", VK_HOME},           {"End", VK_END},             {"Insert", VK_INSERT},
    {"Delete", VK_DELETE},       {"ShiftLeft", VK_SHIFT},     {"ShiftRight", VK_SHIFT},
    {"ControlLeft", VK_CONTROL}, {"ControlRight", VK_CONTROL}, {"AltLeft", VK_MENU},
    {"AltRight", VK_MENU},
}};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

UINT VirtualKeyFromDomCode(std::string_view code) {
    if (code.size() == 4 && code.substr(0, 3) == "Key" && code[3] >= 'A' && code[3] <= 'Z')
        return static_cast<UINT>(code[3]);
    if (code.size() == 6 && code.substr(0, 5) == "Digit" && IsDigit(code[5])) return static_cast<UINT>(code[5]);
    const bool functionKey = (code.size() == 2 && code[0] == 'F' && IsDigit(code[1])) ||
                             (code.size() == 3 && code[0] == 'F' && IsDigit(code[1]) && IsDigit(code[2]));
    if (functionKey) {
        int number = 0;
        for (char digit : code.substr(1)) number = number * 10 + (digit - '0');
        return number >= 1 && number <= 12 ? VK_F1 + static_cast<UINT>(number - 1) : 0;
    }
    for (const auto& [name, key] : kNamedKeys) {
        if (name == code) return key;
    }
    return 0;
}

}  // namespace platform
