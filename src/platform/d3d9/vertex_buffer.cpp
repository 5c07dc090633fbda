#include "d3d9/device.h"
#include "d3d9/resources.h"

namespace d3d9sw {

using internal::Instrumented;

VertexBuffer::VertexBuffer(Device* device, DWORD usage, DWORD fvf, D3DPOOL pool)
    : device_(device), usage_(usage), fvf_(fvf), pool_(pool) {
    device_->Retain();
}

VertexBuffer::~VertexBuffer() {
    device_->Forget(this);
    device_->Drop();
}

HRESULT VertexBuffer::QueryInterface(REFIID riid, void** object) {
    return LoggedQueryInterface("VertexBuffer::QueryInterface", riid, object, IID_IDirect3DVertexBuffer9,
                                static_cast<IDirect3DVertexBuffer9*>(this));
}
ULONG VertexBuffer::AddRef() { return LoggedAddRef("VertexBuffer::AddRef"); }
ULONG VertexBuffer::Release() { return LoggedRelease("VertexBuffer::Release"); }

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** device) {
    return Instrumented("VertexBuffer::GetDevice", [&] { return device_->HandOut(device); }, device);
}

HRESULT VertexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) {
    return Instrumented(
        "VertexBuffer::Lock", [&] { return storage_.Lock(offsetToLock, sizeToLock, data, flags); }, offsetToLock,
        sizeToLock, data, flags);
}

HRESULT VertexBuffer::Unlock() {
    return Instrumented("VertexBuffer::Unlock", [&] { return storage_.Unlock(); });
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    return Instrumented(
        "VertexBuffer::GetDesc",
        [&] {
            if (!desc) return D3DERR_INVALIDCALL;
            *desc = D3DVERTEXBUFFER_DESC{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage_, pool_, storage_.Length(), fvf_};
            return D3D_OK;
        },
        desc);
}

}  // namespace d3d9sw
