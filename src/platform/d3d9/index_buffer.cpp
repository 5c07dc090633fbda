#include "d3d9/device.h"
#include "d3d9/resources.h"

namespace d3d9sw {

using internal::Instrumented;

IndexBuffer::IndexBuffer(Device* device, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), usage_(usage), format_(format), pool_(pool) {
    device_->Retain();
}

IndexBuffer::~IndexBuffer() {
    device_->Forget(this);
    device_->Drop();
}

HRESULT IndexBuffer::QueryInterface(REFIID riid, void** object) {
    return LoggedQueryInterface("IndexBuffer::QueryInterface", riid, object, IID_IDirect3DIndexBuffer9,
                                static_cast<IDirect3DIndexBuffer9*>(this));
}
ULONG IndexBuffer::AddRef() { return LoggedAddRef("IndexBuffer::AddRef"); }
ULONG IndexBuffer::Release() { return LoggedRelease("IndexBuffer::Release"); }

HRESULT IndexBuffer::GetDevice(IDirect3DDevice9** device) {
    return Instrumented("IndexBuffer::GetDevice", [&] { return device_->HandOut(device); }, device);
}

HRESULT IndexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) {
    return Instrumented(
        "IndexBuffer::Lock", [&] { return storage_.Lock(offsetToLock, sizeToLock, data, flags); }, offsetToLock,
        sizeToLock, data, flags);
}

HRESULT IndexBuffer::Unlock() {
    return Instrumented("IndexBuffer::Unlock", [&] { return storage_.Unlock(); });
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    return Instrumented(
        "IndexBuffer::GetDesc",
        [&] {
            if (!desc) return D3DERR_INVALIDCALL;
            *desc = D3DINDEXBUFFER_DESC{format_, D3DRTYPE_INDEXBUFFER, usage_, pool_, storage_.Length()};
            return D3D_OK;
        },
        desc);
}

}  // namespace d3d9sw
