// Translation of a browser key's physical code (KeyboardEvent.code, such as "KeyW",
// "Digit1", "F1" or "Escape") to a virtual-key code. Letters map to their upper-case
// codes and digits to their ASCII codes whatever the layout or Shift state, F1..F12 to
// 0x70..0x7B. A key without a virtual-key code maps to 0 and produces no message.
#pragma once

#include "springdrop/shell/win32.h"

#include <string_view>

namespace platform {

UINT VirtualKeyFromDomCode(std::string_view code);

}  // namespace platform
