// The resources a device creates: vertex and index buffers, vertex declarations and
// queries. Each holds one (unlogged) reference to its device for its whole life and, when
// it dies, makes the device forget any binding of it before dropping that reference.
#pragma once

#include "springdrop/d3d9/buffer_storage.h"
#include "springdrop/d3d9/com_object.h"
#include "springdrop/d3d9/d3d9.h"
#include "springdrop/d3d9/vertex_layout.h"

#include <vector>

namespace d3d9sw {

class Device;

// What tells a vertex buffer from an index buffer: its interface and identity, the name
// its calls are logged under, the format it is created with and how its description is
// filled. Everything else the two share.
struct VertexBufferTraits {
    using Interface = IDirect3DVertexBuffer9;
    using Desc = D3DVERTEXBUFFER_DESC;
    using Format = DWORD;  // the FVF code
    static constexpr IID kId = IID_IDirect3DVertexBuffer9;
    static constexpr char kName[] = "VertexBuffer";
    static Desc Describe(Format fvf, DWORD usage, D3DPOOL pool, UINT length) {
        return Desc{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
    }
};

struct IndexBufferTraits {
    using Interface = IDirect3DIndexBuffer9;
    using Desc = D3DINDEXBUFFER_DESC;
    using Format = D3DFORMAT;  // D3DFMT_INDEX16 or D3DFMT_INDEX32
    static constexpr IID kId = IID_IDirect3DIndexBuffer9;
    static constexpr char kName[] = "IndexBuffer";
    static Desc Describe(Format format, DWORD usage, D3DPOOL pool, UINT length) {
        return Desc{format, D3DRTYPE_INDEXBUFFER, usage, pool, length};
    }
};

template <class Traits>
class Buffer final : public Traits::Interface, public internal::RefCounted<Buffer<Traits>> {
public:
    Buffer(Device* device, DWORD usage, typename Traits::Format format, D3DPOOL pool);
    ~Buffer();
    BufferStorage& Storage() { return storage_; }
    const Device* Owner() const { return device_; }
    typename Traits::Format Format() const { return format_; }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(typename Traits::Desc* desc) override;

private:
    Device* device_;
    DWORD usage_;
    typename Traits::Format format_;
    D3DPOOL pool_;
    BufferStorage storage_;
};

// Both are instantiated once, in buffer.cpp, where the device is complete.
extern template class Buffer<VertexBufferTraits>;
extern template class Buffer<IndexBufferTraits>;
using VertexBuffer = Buffer<VertexBufferTraits>;
using IndexBuffer = Buffer<IndexBufferTraits>;

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
