// The launcher's --input script parser on arbitrary text: no crash, and either inputs
// that respect the script's limits (frames from 1 on, in order; key codes of one byte;
// mouse positions that fit the 16-bit message fields) or an error.
#include "launcher/input_script.h"

#include <cstdint>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

bool MouseMessage(UINT code) { return code == WM_RBUTTONDOWN || code == WM_MOUSEMOVE || code == WM_RBUTTONUP; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string script(reinterpret_cast<const char*>(data), size);
    std::vector<launcher::ScriptedInput> inputs;
    std::string error;
    if (!launcher::ParseInputScript(script, &inputs, &error)) {
        Check(!error.empty());
        return 0;
    }
    Check(!inputs.empty());
    std::uint64_t previousFrame = 1;
    for (const launcher::ScriptedInput& input : inputs) {
        Check(input.frame >= previousFrame);
        previousFrame = input.frame;
        switch (input.kind) {
            case launcher::ScriptedInput::Kind::Key:
                Check(input.code <= 0xFF);
                break;
            case launcher::ScriptedInput::Kind::Close:
                Check(input.code == WM_CLOSE);
                break;
            case launcher::ScriptedInput::Kind::Mouse:
                Check(MouseMessage(input.code) && input.x >= 0 && input.y >= 0 && input.x <= 0xFFFF &&
                      input.y <= 0xFFFF);
                break;
        }
    }
    return 0;
}
