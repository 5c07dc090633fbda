// The mesh object: construction, reference counting, interface queries, accessors, the
// buffer and attribute locks, the group table and the vertex cache re-probe.
#include "geometry/mesh_object.h"

#include "facet/vertex_declaration.h"

#include <algorithm>
#include <new>

namespace facet {

namespace {

// Usage bits that apply to both buffers.
DWORD SharedUsage(DWORD options) {
    DWORD usage = 0;
    if (options & MeshOptions::DoNotClip) usage |= D3DUSAGE_DONOTCLIP;
    if (options & MeshOptions::Points) usage |= D3DUSAGE_POINTS;
    if (options & MeshOptions::RtPatches) usage |= D3DUSAGE_RTPATCHES;
    if (options & MeshOptions::NPatches) usage |= D3DUSAGE_NPATCHES;
    return usage;
}

D3DPOOL PoolFor(DWORD options, DWORD systemMemoryBit, DWORD managedBit) {
    if (options & systemMemoryBit) return D3DPOOL_SYSTEMMEM;
    if (options & managedBit) return D3DPOOL_MANAGED;
    return D3DPOOL_DEFAULT;
}

DWORD UsageFor(DWORD options, DWORD writeOnlyBit, DWORD dynamicBit, DWORD softwareBit) {
    DWORD usage = SharedUsage(options);
    if (options & writeOnlyBit) usage |= D3DUSAGE_WRITEONLY;
    if (options & dynamicBit) usage |= D3DUSAGE_DYNAMIC;
    if (options & softwareBit) usage |= D3DUSAGE_SOFTWAREPROCESSING;
    return usage;
}

template <typename Interface>
void ReleaseAndClear(Interface*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

}  // namespace

template <typename Index>
MeshObject<Index>::MeshObject(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device)
    : options_(options) {
    std::copy_n(declaration, DeclarationLength(declaration) + 1, declaration_);
    vertexStride_ = DeclarationStride(declaration_, 0);
    if (FAILED(FormatFromDeclaration(declaration_, &vertexFormat_))) vertexFormat_ = 0;

    vertexPool_ = PoolFor(options, MeshOptions::VertexSystemMemory, MeshOptions::VertexManaged);
    indexPool_ = PoolFor(options, MeshOptions::IndexSystemMemory, MeshOptions::IndexManaged);
    vertexUsage_ = UsageFor(options, MeshOptions::VertexWriteOnly, MeshOptions::VertexDynamic,
                            MeshOptions::VertexSoftwareProcessing);
    indexUsage_ = UsageFor(options, MeshOptions::IndexWriteOnly, MeshOptions::IndexDynamic,
                           MeshOptions::IndexSoftwareProcessing);

    device_ = device;
    device_->AddRef();
    // Without its Direct3D object the mesh still works; Resize asks the device again.
    if (FAILED(device_->GetDirect3D(&direct3D_))) direct3D_ = nullptr;
}

template <typename Index>
MeshObject<Index>::~MeshObject() {
    ReleaseAndClear(declarationObject_);
    ReleaseAndClear(direct3D_);
    ReleaseAndClear(device_);
    ReleaseAndClear(vertexBuffer_);
    ReleaseAndClear(indexBuffer_);
}

template <typename Index>
HRESULT MeshObject<Index>::QueryInterface(REFIID riid, void** object) {
    if (outerOwner_ != nullptr) return outerOwner_->QueryInterface(riid, object);
    if (object == nullptr) return D3DERR_INVALIDCALL;
    if (riid == IID_IUnknown || riid == IID_BaseMesh || riid == IID_Mesh) {
        *object = static_cast<Mesh*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

template <typename Index>
ULONG MeshObject<Index>::AddRef() {
    if (outerOwner_ != nullptr) return outerOwner_->AddRef();
    return static_cast<ULONG>(++referenceCount_);
}

template <typename Index>
ULONG MeshObject<Index>::Release() {
    if (outerOwner_ != nullptr) return outerOwner_->Release();
    const LONG count = --referenceCount_;
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

template <typename Index>
HRESULT MeshObject<Index>::CopyDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) {
    if (declaration == nullptr) return D3DERR_INVALIDCALL;
    std::copy_n(declaration_, DeclarationLength(declaration_) + 1, declaration);
    return D3D_OK;
}

template <typename Index>
HRESULT MeshObject<Index>::Device(IDirect3DDevice9** device) {
    if (device == nullptr) return D3DERR_INVALIDCALL;
    *device = device_;
    device_->AddRef();
    return D3D_OK;
}

template <typename Index>
HRESULT MeshObject<Index>::VertexBuffer(IDirect3DVertexBuffer9** buffer) {
    if (buffer == nullptr) return D3DERR_INVALIDCALL;
    *buffer = vertexBuffer_;
    if (vertexBuffer_ != nullptr) vertexBuffer_->AddRef();
    return D3D_OK;
}

template <typename Index>
HRESULT MeshObject<Index>::IndexBuffer(IDirect3DIndexBuffer9** buffer) {
    if (buffer == nullptr) return D3DERR_INVALIDCALL;
    *buffer = indexBuffer_;
    if (indexBuffer_ != nullptr) indexBuffer_->AddRef();
    return D3D_OK;
}

template <typename Index>
HRESULT MeshObject<Index>::LockVertices(DWORD flags, void** data) {
    if (vertexBuffer_ == nullptr) return D3DERR_INVALIDCALL;
    return vertexBuffer_->Lock(0, 0, data, flags | D3DLOCK_NOSYSLOCK);
}

template <typename Index>
HRESULT MeshObject<Index>::UnlockVertices() {
    if (vertexBuffer_ == nullptr) return D3DERR_INVALIDCALL;
    return vertexBuffer_->Unlock();
}

template <typename Index>
HRESULT MeshObject<Index>::LockIndices(DWORD flags, void** data) {
    if (indexBuffer_ == nullptr) return D3DERR_INVALIDCALL;
    return indexBuffer_->Lock(0, 0, data, flags | D3DLOCK_NOSYSLOCK);
}

template <typename Index>
HRESULT MeshObject<Index>::UnlockIndices() {
    if (indexBuffer_ == nullptr) return D3DERR_INVALIDCALL;
    return indexBuffer_->Unlock();
}

template <typename Index>
HRESULT MeshObject<Index>::LockAttributes(DWORD flags, DWORD** attributeIds) {
    if (attributeIds == nullptr) return D3DERR_INVALIDCALL;
    // A writer may change the ids, which would leave the table describing stale runs.
    if ((flags & D3DLOCK_READONLY) == 0) DiscardGroupTable();
    *attributeIds = attributeIds_.get();
    return D3D_OK;
}

template <typename Index>
HRESULT MeshObject<Index>::UnlockAttributes() {
    return D3D_OK;
}

template <typename Index>
HRESULT MeshObject<Index>::CopyGroupTable(GroupEntry* entries, DWORD* count) {
    if (count != nullptr) *count = groupCount_;
    if (entries != nullptr) std::copy_n(groupTable_.get(), groupCount_, entries);
    return D3D_OK;
}

template <typename Index>
HRESULT MeshObject<Index>::SetGroupTable(const GroupEntry* entries, DWORD count) {
    if (count == 0) {
        if (entries != nullptr) return D3DERR_INVALIDCALL;
        groupTable_.reset();
        groupCount_ = 0;
        return D3D_OK;
    }
    if (entries == nullptr) return D3DERR_INVALIDCALL;
    if (count >= groupCount_) {
        groupTable_.reset();
        groupCount_ = 0;
        groupTable_.reset(new (std::nothrow) GroupEntry[count]);
        if (groupTable_ == nullptr) return E_OUTOFMEMORY;
    }
    std::copy_n(entries, count, groupTable_.get());
    groupCount_ = count;
    return D3D_OK;
}

template <typename Index>
void MeshObject<Index>::DiscardGroupTable() {
    groupTable_.reset();
    groupCount_ = 0;
    storageFlags_ &= ~StorageFlags::GroupTableValid;
}

template <typename Index>
HRESULT MeshObject<Index>::CloneWithFormat(DWORD options, DWORD fvf, IDirect3DDevice9* device, Mesh** cloneOut) {
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    const HRESULT result = DeclarationFromFormat(fvf, declaration);
    if (FAILED(result)) return result;
    return CloneWithDeclaration(options, declaration, device, cloneOut);
}

template <typename Index>
HRESULT MeshObject<Index>::InternalStep() {
    return RecordVertexCache();
}

// The members defined in this file, for both index widths; the others are instantiated
// beside their definitions.
template class MeshObject<WORD>;
template class MeshObject<DWORD>;

}  // namespace facet
