// Parsing and injection of the --input script.
#include "launcher/input_script.h"

#include "springdrop/shell/shell.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace launcher {

namespace {

constexpr int kDragOriginX = 320;
constexpr int kDragOriginY = 240;
constexpr int kMaxClientCoordinate = 0xFFFF;  // mouse positions travel as 16 bits

struct NamedKey {
    const char* name;
    UINT virtualKey;
};

constexpr NamedKey kNamedKeys[] = {
    {"w", 0x57},          {"a", 0x41},        {"s", 0x53},        {"d", 0x44},
    {"f1", VK_F1},        {"escape", VK_ESCAPE}, {"up", VK_UP},   {"down", VK_DOWN},
    {"left", VK_LEFT},    {"right", VK_RIGHT},
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

template <typename Integer>
bool ParseInteger(const std::string& text, Integer* value, int base = 10) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, *value, base);
    return failure == std::errc() && stop == end;
}

bool ParsePoint(const std::string& xText, const std::string& yText, int* x, int* y) {
    return ParseInteger(xText, x) && ParseInteger(yText, y) && *x >= 0 && *y >= 0 &&
           *x <= kMaxClientCoordinate && *y <= kMaxClientCoordinate;
}

// Appends the inputs of one EVENT (the fields after FRAME:) or returns false.
bool ParseEvent(const std::vector<std::string>& fields, std::uint64_t frame, std::vector<ScriptedInput>* inputs) {
    const std::string name = Lower(fields[0]);
    auto add = [&](ScriptedInput::Kind kind, UINT code, int x, int y) {
        inputs->push_back({frame, kind, code, x, y});
        return true;
    };
    if (fields.size() == 1) {
        if (name == "close") return add(ScriptedInput::Kind::Close, WM_CLOSE, 0, 0);
        for (const NamedKey& key : kNamedKeys)
            if (name == key.name) return add(ScriptedInput::Kind::Key, key.virtualKey, 0, 0);
        return false;
    }
    if (name == "key" && fields.size() == 2) {
        const std::string& code = fields[1];
        unsigned value = 0;
        if (code.size() < 3 || Lower(code.substr(0, 2)) != "0x" || !ParseInteger(code.substr(2), &value, 16) ||
            value > 0xFF)
            return false;
        return add(ScriptedInput::Kind::Key, value, 0, 0);
    }
    if (fields.size() != 3) return false;
    if (name == "drag") {
        int dx = 0, dy = 0;
        if (!ParseInteger(fields[1], &dx) || !ParseInteger(fields[2], &dy)) return false;
        const long endX = static_cast<long>(kDragOriginX) + dx;
        const long endY = static_cast<long>(kDragOriginY) + dy;
        if (endX < 0 || endY < 0 || endX > kMaxClientCoordinate || endY > kMaxClientCoordinate) return false;
        add(ScriptedInput::Kind::Mouse, WM_RBUTTONDOWN, kDragOriginX, kDragOriginY);
        add(ScriptedInput::Kind::Mouse, WM_MOUSEMOVE, static_cast<int>(endX), static_cast<int>(endY));
        return add(ScriptedInput::Kind::Mouse, WM_RBUTTONUP, static_cast<int>(endX), static_cast<int>(endY));
    }
    UINT message = 0;
    if (name == "rdown") message = WM_RBUTTONDOWN;
    else if (name == "move") message = WM_MOUSEMOVE;
    else if (name == "rup") message = WM_RBUTTONUP;
    else return false;
    int x = 0, y = 0;
    if (!ParsePoint(fields[1], fields[2], &x, &y)) return false;
    return add(ScriptedInput::Kind::Mouse, message, x, y);
}

}  // namespace

bool ParseInputScript(const std::string& script, std::vector<ScriptedInput>* inputs, std::string* error) {
    inputs->clear();
    for (const std::string& item : Split(script, ',')) {
        const std::vector<std::string> fields = Split(item, ':');
        std::uint64_t frame = 0;
        const bool ok = fields.size() >= 2 && ParseInteger(fields[0], &frame) && frame >= 1 &&
                        ParseEvent(std::vector<std::string>(fields.begin() + 1, fields.end()), frame, inputs);
        if (!ok) {
            *error = "bad --input item \"" + item +
                     "\": expected FRAME:EVENT with FRAME >= 1 and EVENT one of W A S D F1 Escape Close Up Down "
                     "Left Right, key:0xNN, rdown:X:Y, move:X:Y, rup:X:Y, drag:DX:DY";
            return false;
        }
    }
    std::stable_sort(inputs->begin(), inputs->end(),
                     [](const ScriptedInput& a, const ScriptedInput& b) { return a.frame < b.frame; });
    return true;
}

void InjectScriptedInput(HWND hwnd, const ScriptedInput& input) {
    switch (input.kind) {
        case ScriptedInput::Kind::Key:
            platform::InjectKeyDown(hwnd, input.code);
            break;
        case ScriptedInput::Kind::Close:
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
            break;
        case ScriptedInput::Kind::Mouse:
            platform::InjectMouse(hwnd, input.code, input.x, input.y);
            break;
    }
}

}  // namespace launcher
