// The launcher's --input script: comma-separated FRAME:EVENT items, each injected into
// the window's queue just before frame FRAME (1 is the first frame) is rendered, so the
// window procedure handles it as real input.
//
// Events: W A S D F1 Escape Up Down Left Right (key presses), Close (the close box),
// key:0xNN (any virtual-key code), rdown:X:Y, move:X:Y, rup:X:Y (right button and mouse
// at client X, Y) and drag:DX:DY (a right-button drag from the client centre by DX, DY).
#pragma once

#include "springdrop/shell/win32.h"

#include <cstdint>
#include <string>
#include <vector>

namespace launcher {

struct ScriptedInput {
    enum class Kind { Key, Close, Mouse };
    std::uint64_t frame = 0;
    Kind kind = Kind::Key;
    UINT code = 0;  // virtual-key code for Key, mouse message for Mouse
    int x = 0;
    int y = 0;
};

// Parses `script` into inputs ordered by frame (script order within a frame). On a
// malformed item returns false and sets `error` to one line naming it.
bool ParseInputScript(const std::string& script, std::vector<ScriptedInput>* inputs, std::string* error);

// Puts one input into the queue of `hwnd` as the user would make it.
void InjectScriptedInput(HWND hwnd, const ScriptedInput& input);

}  // namespace launcher
