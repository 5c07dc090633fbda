// Meshes made from arrays; see array_mesh.h.
#include "array_mesh.h"

#include "headless_device.h"

#include <cstring>

namespace facet_python {

namespace {

constexpr DWORD kLayout = D3DFVF_XYZ | D3DFVF_NORMAL;
constexpr std::size_t kFloatsPerVertex = 6;
constexpr std::size_t kMaxNarrowCount = 65534;

}  // namespace

HRESULT ThreadDevice(IDirect3DDevice9** device) {
    thread_local facet_tools::HeadlessDevice holder;
    if (holder.device() == nullptr) {
        const HRESULT result = holder.Create();
        if (FAILED(result)) return result;
    }
    *device = holder.device();
    return D3D_OK;
}

ArrayMesh::~ArrayMesh() {
    if (mesh_ != nullptr) mesh_->Release();
}

HRESULT ArrayMesh::Create(const float* positions, std::size_t vertices, const FaceArray* faces) {
    IDirect3DDevice9* device = nullptr;
    HRESULT result = ThreadDevice(&device);
    if (FAILED(result)) return result;
    const std::size_t faceCount = faces != nullptr ? faces->rows() : 1;
    const bool wide = vertices > kMaxNarrowCount || faceCount > kMaxNarrowCount;
    const DWORD options = facet::MeshOptions::Managed | (wide ? facet::MeshOptions::Indices32Bit : 0);
    result = facet::CreateMeshFromFormat(static_cast<DWORD>(faceCount), static_cast<DWORD>(vertices), options, kLayout,
                                         device, &mesh_);
    if (FAILED(result)) return result;

    if (positions != nullptr) {
        void* data = nullptr;
        result = mesh_->LockVertices(0, &data);
        if (FAILED(result)) return result;
        auto* vertex = static_cast<float*>(data);
        for (std::size_t v = 0; v < vertices; ++v, vertex += kFloatsPerVertex)
            std::memcpy(vertex, positions + 3 * v, 3 * sizeof(float));
        mesh_->UnlockVertices();
    }
    if (faces != nullptr) {
        void* data = nullptr;
        result = mesh_->LockIndices(0, &data);
        if (FAILED(result)) return result;
        if (wide)
            faces->CopyTo(static_cast<DWORD*>(data));
        else
            faces->CopyTo(static_cast<WORD*>(data));
        mesh_->UnlockIndices();
    }
    return D3D_OK;
}

}  // namespace facet_python
