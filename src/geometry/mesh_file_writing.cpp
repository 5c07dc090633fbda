// CopyMeshFileData, WriteMeshData and WriteMeshFile: take a mesh's positions, normals and
// triangles out of its buffers and hand them to the writer of the format asked for.
#include "facet/mesh_file.h"

#include "geometry/mesh_file_writers.h"
#include "geometry/vertex_layout_view.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace facet {

namespace {

bool FormatHolds(const MeshWriteOptions& options) {
    if (options.comment == nullptr) return false;
    if (!options.binary) return true;
    if (options.format == MeshFileFormat::Ply) return true;
    // A binary STL header that starts with "solid" would pass for ASCII with many readers.
    return options.format == MeshFileFormat::Stl && std::strncmp(options.comment, "solid", 5) != 0;
}

void CopyElement(const unsigned char* vertices, UINT stride, const D3DVERTEXELEMENT9& element, std::size_t count,
                 std::vector<float>* out) {
    out->resize(3 * count);
    for (std::size_t v = 0; v < count; ++v) std::memcpy(&(*out)[3 * v], vertices + v * stride + element.Offset, 12);
}

HRESULT CannotWrite(const char* path, int reason, std::string* error) {
    *error = std::string(path) + ": cannot write: " + std::strerror(reason);
    return E_FAIL;
}

}  // namespace

HRESULT CopyMeshFileData(Mesh* mesh, bool withNormals, MeshFileData* out) {
    if (mesh == nullptr || out == nullptr) return D3DERR_INVALIDCALL;
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    HRESULT result = mesh->CopyDeclaration(declaration);
    if (FAILED(result)) return result;
    const VertexLayoutView layout(declaration);
    if (layout.position == nullptr || layout.position->Stream != 0 ||
        (withNormals && (layout.normal == nullptr || layout.normal->Stream != 0)))
        return D3DERR_INVALIDCALL;
    const std::size_t vertices = mesh->VertexCount();
    const std::size_t corners = std::size_t{3} * mesh->FaceCount();
    try {
        void* data = nullptr;
        result = mesh->LockVertices(D3DLOCK_READONLY, &data);
        if (FAILED(result)) return result;
        const auto* bytes = static_cast<const unsigned char*>(data);
        CopyElement(bytes, layout.stride, *layout.position, vertices, &out->positions);
        if (withNormals)
            CopyElement(bytes, layout.stride, *layout.normal, vertices, &out->normals);
        else
            out->normals.clear();
        mesh->UnlockVertices();
        result = mesh->LockIndices(D3DLOCK_READONLY, &data);
        if (FAILED(result)) return result;
        if ((mesh->Options() & MeshOptions::Indices32Bit) != 0)
            out->corners.assign(static_cast<const DWORD*>(data), static_cast<const DWORD*>(data) + corners);
        else
            out->corners.assign(static_cast<const WORD*>(data), static_cast<const WORD*>(data) + corners);
        mesh->UnlockIndices();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

bool WriteMeshData(std::FILE* file, const MeshFileData& data, const MeshWriteOptions& options) {
    if (file == nullptr || !FormatHolds(options)) {
        errno = EINVAL;
        return false;
    }
    switch (options.format) {
        case MeshFileFormat::Obj: return WriteObj(file, data, options.comment);
        case MeshFileFormat::Ply: return WritePly(file, data, options.binary, options.comment);
        case MeshFileFormat::Off: return WriteOff(file, data);
        case MeshFileFormat::Stl: return WriteStl(file, data, options.binary, options.comment);
    }
    errno = EINVAL;
    return false;
}

HRESULT WriteMeshFile(Mesh* mesh, const char* path, const MeshWriteOptions& options, std::string* error) {
    if (mesh == nullptr || path == nullptr || error == nullptr || !FormatHolds(options)) return D3DERR_INVALIDCALL;
    try {
        MeshFileData data;
        const HRESULT copied = CopyMeshFileData(mesh, options.normals, &data);
        if (FAILED(copied)) return copied;
        std::FILE* file = std::fopen(path, "wb");
        if (file == nullptr) return CannotWrite(path, errno, error);
        bool written = WriteMeshData(file, data, options) && std::fflush(file) == 0;
        int reason = errno;
        if (std::fclose(file) != 0 && written) {
            written = false;
            reason = errno;
        }
        return written ? D3D_OK : CannotWrite(path, reason, error);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace facet
