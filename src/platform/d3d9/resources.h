// The resources a device creates: vertex and index buffers, vertex declarations and
// queries. Each holds one (unlogged) reference to its device for its whole life and, when
// it dies, makes the device forget any binding of it before dropping that reference.
#pragma once

#include "d3d9/buffer_storage.h"
#include "d3d9/com_object.h"
#include "d3d9/d3d9.h"
#include "d3d9/vertex_layout.h"

#include <vector>

namespace d3d9sw {

class Device;

class VertexBuffer final : public IDirect3DVertexBuffer9, public internal::RefCounted<VertexBuffer> {
public:
    VertexBuffer(Device* device, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~VertexBuffer();
    BufferStorage& Storage() { return storage_; }
    const Device* Owner() const { return device_; }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

private:
    Device* device_;
    DWORD usage_;
    DWORD fvf_;
    D3DPOOL pool_;
    BufferStorage storage_;
};

class IndexBuffer final : public IDirect3DIndexBuffer9, public internal::RefCounted<IndexBuffer> {
public:
    IndexBuffer(Device* device, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~IndexBuffer();
    BufferStorage& Storage() { return storage_; }
    const Device* Owner() const { return device_; }
    D3DFORMAT Format() const { return format_; }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

private:
    Device* device_;
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    BufferStorage storage_;
};

class VertexDeclaration final : public IDirect3DVertexDeclaration9, public internal::RefCounted<VertexDeclaration> {
public:
    // `elements` holds `count` valid elements followed by the end marker.
    VertexDeclaration(Device* device, const D3DVERTEXELEMENT9* elements, UINT count);
    ~VertexDeclaration();
    const Device* Owner() const { return device_; }
    // False when the declaration has no usable position.
    bool Layout(VertexLayout* layout) const;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* numElements) override;

private:
    Device* device_;
    std::vector<D3DVERTEXELEMENT9> elements_;  // including the end marker
};

// D3DQUERYTYPE_VCACHE answers with the device's vertex cache description after the
// configured number of pending polls; D3DQUERYTYPE_EVENT is signalled as soon as it is
// issued. Both accept only D3DISSUE_END, and GetData before the first Issue is refused.
class Query final : public IDirect3DQuery9, public internal::RefCounted<Query> {
public:
    Query(Device* device, D3DQUERYTYPE type);
    ~Query();
    static bool IsSupported(D3DQUERYTYPE type);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DQUERYTYPE GetType() override;
    DWORD GetDataSize() override;
    HRESULT Issue(DWORD issueFlags) override;
    HRESULT GetData(void* data, DWORD size, DWORD getDataFlags) override;

private:
    HRESULT Poll(void* data, DWORD size, DWORD getDataFlags);
    DWORD DataSize() const;

    Device* device_;
    D3DQUERYTYPE type_;
    bool issued_ = false;
    std::uint32_t pendingPolls_ = 0;
};

}  // namespace d3d9sw
