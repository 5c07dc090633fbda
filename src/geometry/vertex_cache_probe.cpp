// Vertex cache probe: the last-device record, the adapter rule and the query with its
// bounded poll and fallback.
#include "geometry/vertex_cache_probe.h"

namespace facet {

namespace {

constexpr DWORD kMethodNone = 0;
constexpr VertexCacheDescription kFallback = {12, 7};
constexpr DWORD kFallbackMethod = 1;

struct LastProbe {
    IDirect3DDevice9* device = nullptr;
    VertexCacheDescription description = {0, 0};
};
LastProbe g_lastProbe;

// These adapters report a vertex cache they do not have.
bool IsAdapterWithoutVertexCache(const D3DADAPTER_IDENTIFIER9& identifier) {
    return identifier.VendorId == 0x1002 && identifier.DeviceId >= 0x5144 && identifier.DeviceId <= 0x5147;
}

struct VertexCacheRecord {
    DWORD pattern;
    DWORD method;
    DWORD cacheSize;
    DWORD parameter;
};
static_assert(sizeof(VertexCacheRecord) == 16, "the query answers with four 32-bit fields");

// The method, size and parameter the device's query reports; the fallback when the
// query is not supported, fails, or stays pending for kVertexCacheMaxPolls polls.
VertexCacheRecord QueryVertexCache(IDirect3DDevice9* device) {
    const VertexCacheRecord fallback = {0, kFallbackMethod, kFallback.size, kFallback.parameter};
    if (FAILED(device->CreateQuery(D3DQUERYTYPE_VCACHE, nullptr))) return fallback;
    IDirect3DQuery9* query = nullptr;
    if (FAILED(device->CreateQuery(D3DQUERYTYPE_VCACHE, &query)) || query == nullptr) return fallback;
    VertexCacheRecord record = fallback;
    if (SUCCEEDED(query->Issue(D3DISSUE_END))) {
        HRESULT result = S_FALSE;
        for (DWORD poll = 0; poll < kVertexCacheMaxPolls && result > 0; ++poll)
            result = query->GetData(&record, sizeof record, D3DGETDATA_FLUSH);
        if (result != S_OK) record = fallback;
    }
    query->Release();
    return record;
}

}  // namespace

HRESULT ProbeVertexCache(IDirect3DDevice9* device, VertexCacheDescription* description) {
    D3DCAPS9 caps = {};
    HRESULT result = device->GetDeviceCaps(&caps);
    if (FAILED(result)) return result;
    IDirect3D9* direct3D = nullptr;
    result = device->GetDirect3D(&direct3D);
    if (FAILED(result)) return result;

    if (device == g_lastProbe.device) {
        *description = g_lastProbe.description;
    } else {
        D3DADAPTER_IDENTIFIER9 identifier = {};
        result = direct3D->GetAdapterIdentifier(caps.AdapterOrdinal, 0, &identifier);
        if (SUCCEEDED(result)) {
            const VertexCacheRecord record = IsAdapterWithoutVertexCache(identifier)
                                                 ? VertexCacheRecord{0, kMethodNone, 0, 0}
                                                 : QueryVertexCache(device);
            *description = record.method == kMethodNone ? VertexCacheDescription{0, 0}
                                                        : VertexCacheDescription{record.cacheSize, record.parameter};
            g_lastProbe = {device, *description};
        }
    }
    direct3D->Release();
    return result;
}

}  // namespace facet
