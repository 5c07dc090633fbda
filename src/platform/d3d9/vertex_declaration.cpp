#include "springdrop/d3d9/device.h"
#include "springdrop/d3d9/resources.h"

#include <algorithm>

namespace d3d9sw {

using internal::Instrumented;

VertexDeclaration::VertexDeclaration(Device* device, const D3DVERTEXELEMENT9* elements, UINT count)
    : device_(device), elements_(elements, elements + count + 1) {
    device_->Retain();
}

VertexDeclaration::~VertexDeclaration() {
    device_->Forget(this);
    device_->Drop();
}

bool VertexDeclaration::Layout(VertexLayout* layout) const {
    return LayoutFromDeclaration(elements_.data(), static_cast<UINT>(elements_.size() - 1), layout);
}

HRESULT VertexDeclaration::QueryInterface(REFIID riid, void** object) {
    return LoggedQueryInterface("VertexDeclaration::QueryInterface", riid, object, IID_IDirect3DVertexDeclaration9,
                                static_cast<IDirect3DVertexDeclaration9*>(this));
}
ULONG VertexDeclaration::AddRef() { return LoggedAddRef("VertexDeclaration::AddRef"); }
ULONG VertexDeclaration::Release() { return LoggedRelease("VertexDeclaration::Release"); }

HRESULT VertexDeclaration::GetDevice(IDirect3DDevice9** device) {
    return Instrumented("VertexDeclaration::GetDevice", [&] { return device_->HandOut(device); }, device);
}

// Reports the element count including the end marker; copies the elements too when
// `elements` is not null.
HRESULT VertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* numElements) {
    return Instrumented(
        "VertexDeclaration::GetDeclaration",
        [&] {
            if (!numElements) return D3DERR_INVALIDCALL;
            *numElements = static_cast<UINT>(elements_.size());
            if (elements) std::copy(elements_.begin(), elements_.end(), elements);
            return D3D_OK;
        },
        elements, numElements);
}

}  // namespace d3d9sw
