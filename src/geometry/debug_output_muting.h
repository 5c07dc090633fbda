// Muting of the Direct3D runtime's debug output around calls whose failure the library
// tolerates (creating a declaration object), so that an expected failure prints nothing.
#pragma once

#include "springdrop/system/system.h"

namespace facet {

// The runtime's "DebugSetMute" entry point: one 32-bit argument, nonzero to mute.
using DebugSetMuteEntry = void (*)(BOOL mute);

// Calls "DebugSetMute" of each of "d3d9.dll" and "d3d9d.dll" that is already loaded with
// `mute`. The entry points are looked up until one is found; the "FacetDoNotMute" setting
// is read once per process and, when nonzero, turns this into nothing.
void MuteRuntimeDebugOutput(BOOL mute);

}  // namespace facet
