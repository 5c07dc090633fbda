// Mesh::Resize: the declaration object, buffer growth with the old contents carried over,
// and the device's vertex cache description.
#include "geometry/debug_output_muting.h"
#include "geometry/mesh_object.h"
#include "geometry/vertex_cache_probe.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <new>

namespace facet {

namespace {

// Copies `usedBytes` of `from` into `to` and zero-fills the rest of `to`, both buffers
// locked whole for the copy.
template <typename Buffer>
HRESULT CopyIntoLarger(Buffer* from, Buffer* to, UINT usedBytes, UINT newBytes) {
    void* source = nullptr;
    HRESULT result = from->Lock(0, 0, &source, D3DLOCK_NOSYSLOCK);
    if (FAILED(result)) return result;
    void* destination = nullptr;
    result = to->Lock(0, 0, &destination, D3DLOCK_NOSYSLOCK);
    if (FAILED(result)) {
        from->Unlock();
        return result;
    }
    std::memcpy(destination, source, usedBytes);
    std::memset(static_cast<BYTE*>(destination) + usedBytes, 0, newBytes - usedBytes);
    to->Unlock();
    from->Unlock();
    return D3D_OK;
}

// count · elementBytes as a buffer length, or false when it does not fit in 32 bits.
bool BufferLength(DWORD count, DWORD elementBytes, UINT* length) {
    const std::uint64_t bytes = std::uint64_t{count} * elementBytes;
    if (bytes > UINT32_MAX) return false;
    *length = static_cast<UINT>(bytes);
    return true;
}

}  // namespace

template <typename Index>
HRESULT MeshObject<Index>::Resize(DWORD faces, DWORD vertices) {
    if (declarationObject_ == nullptr) CreateDeclarationObject();
    constexpr DWORD kLimit = static_cast<DWORD>(kEmptyIndex);
    if (faces >= kLimit || vertices >= kLimit) return D3DERR_INVALIDCALL;

    HRESULT result = D3D_OK;
    if (faces > faceCapacity_) {
        result = GrowIndexBuffer(faces);
        if (FAILED(result)) return result;
        result = GrowAttributeIds(faces);
        if (FAILED(result)) return result;
    }
    if (vertices > vertexCapacity_ && (storageFlags_ & StorageFlags::SharedVertexBuffer) == 0) {
        result = GrowVertexBuffer(vertices);
        if (FAILED(result)) return result;
    }
    vertexCount_ = vertices;
    faceCount_ = faces;
    return RecordVertexCache();
}

template <typename Index>
void MeshObject<Index>::CreateDeclarationObject() {
    // Devices may reject layouts that are valid for a mesh; the mesh then draws without a
    // declaration object, and the runtime's complaint about it is muted.
    MuteRuntimeDebugOutput(1);
    if (FAILED(device_->CreateVertexDeclaration(declaration_, &declarationObject_))) declarationObject_ = nullptr;
    MuteRuntimeDebugOutput(0);
}

template <typename Index>
HRESULT MeshObject<Index>::GrowIndexBuffer(DWORD faces) {
    UINT length = 0;
    if (!BufferLength(faces, 3 * sizeof(Index), &length)) return E_OUTOFMEMORY;
    IDirect3DIndexBuffer9* buffer = nullptr;
    HRESULT result = device_->CreateIndexBuffer(length, indexUsage_, kIndexFormat, indexPool_, &buffer, nullptr);
    if (FAILED(result)) return result;
    if (faceCount_ > 0) {
        result = CopyIntoLarger(indexBuffer_, buffer, faceCount_ * 3 * sizeof(Index), length);
        if (FAILED(result)) {
            buffer->Release();
            return result;
        }
    }
    if (indexBuffer_ != nullptr) indexBuffer_->Release();
    indexBuffer_ = buffer;
    faceCapacity_ = faces;
    return D3D_OK;
}

template <typename Index>
HRESULT MeshObject<Index>::GrowAttributeIds(DWORD faces) {
    decltype(attributeIds_) grown(static_cast<DWORD*>(std::calloc(std::max<DWORD>(faces, 1), sizeof(DWORD))));
    if (grown == nullptr) return E_OUTOFMEMORY;
    const DWORD kept = attributeIds_ == nullptr ? 0 : std::min(faceCount_, faces);
    if (kept > 0) std::copy_n(attributeIds_.get(), kept, grown.get());
    attributeIds_ = std::move(grown);
    return D3D_OK;
}

template <typename Index>
HRESULT MeshObject<Index>::GrowVertexBuffer(DWORD vertices) {
    UINT length = 0;
    if (!BufferLength(vertices, vertexStride_, &length)) return E_OUTOFMEMORY;
    IDirect3DVertexBuffer9* buffer = nullptr;
    HRESULT result =
        device_->CreateVertexBuffer(length, vertexUsage_, vertexFormat_, vertexPool_, &buffer, nullptr);
    if (FAILED(result)) return result;
    if (vertexCount_ > 0) {
        result = CopyIntoLarger(vertexBuffer_, buffer, vertexCount_ * vertexStride_, length);
        if (FAILED(result)) {
            buffer->Release();
            return result;
        }
    }
    if (vertexBuffer_ != nullptr) vertexBuffer_->Release();
    vertexBuffer_ = buffer;
    vertexCapacity_ = vertices;
    return D3D_OK;
}

template <typename Index>
HRESULT MeshObject<Index>::RecordVertexCache() {
    VertexCacheDescription description = {0, 0};
    const HRESULT result = ProbeVertexCache(device_, &description);
    if (FAILED(result)) return result;
    vertexCacheSize_ = description.size;
    vertexCacheParameter_ = description.parameter;
    return D3D_OK;
}

template HRESULT MeshObject<WORD>::Resize(DWORD, DWORD);
template HRESULT MeshObject<DWORD>::Resize(DWORD, DWORD);
template void MeshObject<WORD>::CreateDeclarationObject();
template void MeshObject<DWORD>::CreateDeclarationObject();
template HRESULT MeshObject<WORD>::RecordVertexCache();
template HRESULT MeshObject<DWORD>::RecordVertexCache();

}  // namespace facet
