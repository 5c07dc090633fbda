// Resource creation and binding: buffers, declarations, queries, stream sources, indices
// and the vertex layout source (the later of SetFVF and SetVertexDeclaration wins).
#include "springdrop/d3d9/device.h"

#include "springdrop/d3d9/resources.h"

#include <memory>
#include <new>

namespace d3d9sw {

using internal::Instrumented;

namespace {

constexpr UINT kMaxStreamStride = 255;

bool IsValidPool(D3DPOOL pool) { return pool <= D3DPOOL_SCRATCH; }

// Allocates a resource and its storage; null (and nothing left behind) when either fails.
template <class Buffer, class... Args>
Buffer* CreateBuffer(UINT length, Args&&... args) {
    std::unique_ptr<Buffer, void (*)(Buffer*)> buffer(new (std::nothrow) Buffer(std::forward<Args>(args)...),
                                                      [](Buffer* b) { b->Drop(); });
    if (!buffer || !buffer->Storage().Allocate(length)) return nullptr;
    return buffer.release();
}

}  // namespace

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** vertexBuffer, HANDLE* sharedHandle) {
    if (vertexBuffer) *vertexBuffer = nullptr;
    return Instrumented(
        "Device::CreateVertexBuffer",
        [&] {
            if (!vertexBuffer || sharedHandle || length == 0) return D3DERR_INVALIDCALL;
            if (!IsValidPool(pool) || !IsValidBufferUsage(usage, pool)) return D3DERR_INVALIDCALL;
            if (fvf != 0 && (!IsValidFvf(fvf) || length < FvfVertexSize(fvf))) return D3DERR_INVALIDCALL;
            VertexBuffer* buffer = CreateBuffer<VertexBuffer>(length, this, usage, fvf, pool);
            if (!buffer) return D3DERR_OUTOFVIDEOMEMORY;
            *vertexBuffer = buffer;
            return D3D_OK;
        },
        length, usage, fvf, pool, vertexBuffer, sharedHandle);
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** indexBuffer, HANDLE* sharedHandle) {
    if (indexBuffer) *indexBuffer = nullptr;
    return Instrumented(
        "Device::CreateIndexBuffer",
        [&] {
            if (!indexBuffer || sharedHandle || length == 0) return D3DERR_INVALIDCALL;
            if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
            if (!IsValidPool(pool) || !IsValidBufferUsage(usage, pool)) return D3DERR_INVALIDCALL;
            IndexBuffer* buffer = CreateBuffer<IndexBuffer>(length, this, usage, format, pool);
            if (!buffer) return D3DERR_OUTOFVIDEOMEMORY;
            *indexBuffer = buffer;
            return D3D_OK;
        },
        length, usage, format, pool, indexBuffer, sharedHandle);
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                        IDirect3DVertexDeclaration9** declaration) {
    if (declaration) *declaration = nullptr;
    return Instrumented(
        "Device::CreateVertexDeclaration",
        [&] {
            UINT count = 0;
            if (!elements || !declaration || !MeasureDeclaration(elements, &count)) return D3DERR_INVALIDCALL;
            VertexDeclaration* created = new (std::nothrow) VertexDeclaration(this, elements, count);
            if (!created) return E_OUTOFMEMORY;
            *declaration = created;
            return D3D_OK;
        },
        elements, declaration);
}

// With a null out-pointer the call only reports whether the type is supported.
HRESULT Device::CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) {
    if (query) *query = nullptr;
    return Instrumented(
        "Device::CreateQuery",
        [&] {
            if (!Query::IsSupported(type)) return D3DERR_NOTAVAILABLE;
            if (!query) return D3D_OK;
            Query* created = new (std::nothrow) Query(this, type);
            if (!created) return E_OUTOFMEMORY;
            *query = created;
            return D3D_OK;
        },
        type, query);
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
    return Instrumented(
        "Device::SetVertexDeclaration",
        [&] {
            auto* ours = static_cast<VertexDeclaration*>(declaration);
            if (ours && ours->Owner() != this) return D3DERR_INVALIDCALL;
            declaration_ = ours;
            declarationIsCurrent_ = true;
            return D3D_OK;
        },
        declaration);
}

HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) {
    return Instrumented(
        "Device::GetVertexDeclaration",
        [&] {
            if (!declaration) return D3DERR_INVALIDCALL;
            VertexDeclaration* current = declarationIsCurrent_ ? declaration_ : nullptr;
            if (current) current->Retain();
            *declaration = current;
            return D3D_OK;
        },
        declaration);
}

HRESULT Device::SetFVF(DWORD fvf) {
    return Instrumented(
        "Device::SetFVF",
        [&] {
            if (!IsValidFvf(fvf)) return D3DERR_INVALIDCALL;
            fvf_ = fvf;
            declarationIsCurrent_ = false;
            return D3D_OK;
        },
        fvf);
}

HRESULT Device::GetFVF(DWORD* fvf) {
    return Instrumented(
        "Device::GetFVF",
        [&] {
            if (!fvf) return D3DERR_INVALIDCALL;
            *fvf = declarationIsCurrent_ ? 0 : fvf_;
            return D3D_OK;
        },
        fvf);
}

HRESULT Device::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData, UINT offsetInBytes,
                                UINT stride) {
    return Instrumented(
        "Device::SetStreamSource",
        [&] {
            auto* buffer = static_cast<VertexBuffer*>(streamData);
            if (streamNumber >= kMaxStreams || stride > kMaxStreamStride) return D3DERR_INVALIDCALL;
            if (buffer && buffer->Owner() != this) return D3DERR_INVALIDCALL;
            streams_[streamNumber] = buffer ? StreamBinding{buffer, offsetInBytes, stride} : StreamBinding{};
            return D3D_OK;
        },
        streamNumber, streamData, offsetInBytes, stride);
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indexData) {
    return Instrumented(
        "Device::SetIndices",
        [&] {
            auto* buffer = static_cast<IndexBuffer*>(indexData);
            if (buffer && buffer->Owner() != this) return D3DERR_INVALIDCALL;
            indices_ = buffer;
            return D3D_OK;
        },
        indexData);
}

}  // namespace d3d9sw
