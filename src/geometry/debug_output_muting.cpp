// Runtime debug-output muting: entry points looked up in already loaded runtime modules,
// the opt-out switch read once.
#include "geometry/debug_output_muting.h"

#include "facet/dispatch.h"

namespace facet {

namespace {

struct MuteEntryPoints {
    DebugSetMuteEntry release = nullptr;
    DebugSetMuteEntry debug = nullptr;
};

MuteEntryPoints g_muteEntryPoints;
bool g_doNotMuteRead = false;
bool g_doNotMute = false;

// The module's export, only when the module is already in the process: muting must never
// be the reason a runtime gets loaded.
DebugSetMuteEntry FindLoadedExport(LPCSTR moduleName) {
    if (GetModuleHandleA(moduleName) == nullptr) return nullptr;
    const HMODULE module = LoadLibraryA(moduleName);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<DebugSetMuteEntry>(GetProcAddress(module, "DebugSetMute"));
}

}  // namespace

void MuteRuntimeDebugOutput(BOOL mute) {
    if (g_muteEntryPoints.release == nullptr && g_muteEntryPoints.debug == nullptr) {
        g_muteEntryPoints.release = FindLoadedExport("d3d9.dll");
        g_muteEntryPoints.debug = FindLoadedExport("d3d9d.dll");
    }
    if (!g_doNotMuteRead) {
        DWORD value = 0;
        g_doNotMute = ReadDirect3DSetting(REG_DWORD, "FacetDoNotMute", &value, sizeof value) != 0 && value != 0;
        g_doNotMuteRead = true;
    }
    if (g_doNotMute) return;
    if (g_muteEntryPoints.release != nullptr) g_muteEntryPoints.release(mute);
    if (g_muteEntryPoints.debug != nullptr) g_muteEntryPoints.debug(mute);
}

}  // namespace facet
