#include "springdrop/d3d9/device.h"
#include "springdrop/d3d9/resources.h"

#include <cstdint>
#include <cstring>

namespace d3d9sw {

using internal::Instrumented;

namespace {

// The vertex cache the software device describes: 'CACH', vertex-cache optimisation, a
// 16-entry cache and the heuristic constant 7.
constexpr D3DDEVINFO_VCACHE kVertexCache{0x48434143, 1, 16, 7};
constexpr std::uint32_t kNeverDelivers = UINT32_MAX;

}  // namespace

Query::Query(Device* device, D3DQUERYTYPE type) : device_(device), type_(type) { device_->Retain(); }

Query::~Query() { device_->Drop(); }

bool Query::IsSupported(D3DQUERYTYPE type) { return type == D3DQUERYTYPE_VCACHE || type == D3DQUERYTYPE_EVENT; }

HRESULT Query::QueryInterface(REFIID riid, void** object) {
    return LoggedQueryInterface("Query::QueryInterface", riid, object, IID_IDirect3DQuery9,
                                static_cast<IDirect3DQuery9*>(this));
}
ULONG Query::AddRef() { return LoggedAddRef("Query::AddRef"); }
ULONG Query::Release() { return LoggedRelease("Query::Release"); }

HRESULT Query::GetDevice(IDirect3DDevice9** device) {
    return Instrumented("Query::GetDevice", [&] { return device_->HandOut(device); }, device);
}

D3DQUERYTYPE Query::GetType() {
    return internal::Counted("Query::GetType", [&] { return type_; });
}

DWORD Query::GetDataSize() {
    return internal::Counted("Query::GetDataSize", [&] { return DataSize(); });
}

DWORD Query::DataSize() const {
    return static_cast<DWORD>(type_ == D3DQUERYTYPE_VCACHE ? sizeof(D3DDEVINFO_VCACHE) : sizeof(BOOL));
}

HRESULT Query::Issue(DWORD issueFlags) {
    return Instrumented(
        "Query::Issue",
        [&] {
            if (issueFlags != D3DISSUE_END) return D3DERR_INVALIDCALL;
            issued_ = true;
            pendingPolls_ = type_ == D3DQUERYTYPE_VCACHE ? internal::QueryPendingPolls() : 0;
            return D3D_OK;
        },
        issueFlags);
}

HRESULT Query::GetData(void* data, DWORD size, DWORD getDataFlags) {
    return Instrumented(
        "Query::GetData", [&] { return Poll(data, size, getDataFlags); }, data, size, getDataFlags);
}

// Size 0 with null data asks only for the status. A pending poll answers S_FALSE and
// writes nothing.
HRESULT Query::Poll(void* data, DWORD size, DWORD getDataFlags) {
    bool statusOnly = !data && size == 0;
    if (!issued_ || (getDataFlags & ~D3DGETDATA_FLUSH) != 0) return D3DERR_INVALIDCALL;
    if (!statusOnly && (!data || size < DataSize())) return D3DERR_INVALIDCALL;
    if (pendingPolls_ == kNeverDelivers) return S_FALSE;
    if (pendingPolls_ > 0) {
        --pendingPolls_;
        return S_FALSE;
    }
    if (statusOnly) return S_OK;
    if (type_ == D3DQUERYTYPE_VCACHE) {
        std::memcpy(data, &kVertexCache, sizeof kVertexCache);
    } else {
        BOOL signalled = TRUE;
        std::memcpy(data, &signalled, sizeof signalled);
    }
    return S_OK;
}

}  // namespace d3d9sw
