// Controls of the window-free system part that Win32 itself does not have: choosing the
// performance counter's clock and making a module count as loaded. Launchers and tests
// use these; the system's own code above the platform never does. The window shell's
// controls (springdrop/shell/shell.h) include this header, so their callers see both.
#pragma once

#include "springdrop/system/types.h"

namespace platform {

// The performance counter's clock. By default a monotonic clock. With a fixed rate,
// every QueryPerformanceCounter call advances the count by frequency / framesPerSecond,
// starting from a large base value, so a loop that reads it once per frame measures
// exactly that rate.
void UseMonotonicCounter();
void UseFixedRateCounter(double framesPerSecond);

// Makes `module` count as loaded (names compare case-insensitively) with the export
// `exportName`; GetModuleHandleA and LoadLibraryA then return its handle and
// GetProcAddress finds the export. No other module is ever loaded.
void RegisterModuleExport(LPCSTR module, LPCSTR exportName, FARPROC function);

}  // namespace platform
