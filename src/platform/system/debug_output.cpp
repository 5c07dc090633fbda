// Debugger output goes to standard error, byte for byte.
#include "springdrop/system/system.h"

#include <cstdio>

void OutputDebugStringA(LPCSTR text) {
    if (!text) return;
    std::fputs(text, stderr);
    std::fflush(stderr);
}
