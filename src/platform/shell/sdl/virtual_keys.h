// Translation of SDL key codes to virtual-key codes. Letters map to their upper-case
// codes whatever the Shift state, digits to their ASCII codes, F1..F12 to 0x70..0x7B.
// A key without a virtual-key code maps to 0 and produces no message.
#pragma once

#include "springdrop/shell/win32.h"

#include <SDL.h>

namespace platform {

UINT VirtualKeyFromSdlKey(SDL_Keycode key);

}  // namespace platform
