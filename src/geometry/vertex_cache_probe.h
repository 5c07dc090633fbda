// The vertex cache description of a device, which mesh optimisation tunes itself to.
#pragma once

#include "springdrop/d3d9/d3d9.h"

namespace facet {

struct VertexCacheDescription {
    DWORD size;
    DWORD parameter;
};

// Asks `device` for its vertex cache (once per device in a row: the last device probed
// and its answer are remembered process-wide). Adapters known to answer wrongly get
// (0, 0); a device that cannot answer gets the fallback (12, 7). Failures of
// GetDeviceCaps, GetDirect3D and GetAdapterIdentifier are returned.
HRESULT ProbeVertexCache(IDirect3DDevice9* device, VertexCacheDescription* description);

// How often a pending vertex-cache query is polled before the fallback is used.
constexpr DWORD kVertexCacheMaxPolls = 4096;

}  // namespace facet
