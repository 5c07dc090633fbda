// The part of the Win32 interface that needs no window: the performance counter,
// debugger output, processor feature queries, loaded modules and the settings source
// standing in for the registry. Facet's math and geometry call these.
#pragma once

#include "springdrop/system/types.h"

// kernel32
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
void OutputDebugStringA(LPCSTR text);
BOOL IsProcessorFeaturePresent(DWORD feature);
HMODULE GetModuleHandleA(LPCSTR moduleName);
HMODULE LoadLibraryA(LPCSTR fileName);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);

// advapi32
LSTATUS RegOpenKeyA(HKEY key, LPCSTR subKey, HKEY* result);
LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize);
LSTATUS RegCloseKey(HKEY key);
