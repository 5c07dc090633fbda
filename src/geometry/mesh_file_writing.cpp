// CopyMeshFileData, MeshFileLossesOf, WriteMeshData and WriteMeshFile: take a mesh's
// vertex data and triangles out of its buffers and hand them to the writer of the format
// asked for, and say what a format has no place for.
#include "facet/mesh_file.h"

#include "facet/vertex_declaration.h"
#include "geometry/mesh_file_writers.h"
#include "geometry/vertex_layout_view.h"
#include "springdrop/system/huge_page_memory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

namespace facet {

namespace {

bool FormatHolds(const MeshWriteOptions& options) {
    if (options.comment == nullptr) return false;
    if (!options.binary) return true;
    if (options.format == MeshFileFormat::Ply) return true;
    // A binary STL header that starts with "solid" would pass for ASCII with many readers.
    return options.format == MeshFileFormat::Stl && std::strncmp(options.comment, "solid", 5) != 0;
}

// Copies `width` floats per vertex of `element` (of at least that many floats; missing
// ones are 0).
void CopyElement(const unsigned char* vertices, UINT stride, const D3DVERTEXELEMENT9& element, std::size_t count,
                 std::size_t width, std::vector<float>* out) {
    const std::size_t bytes = std::min<std::size_t>(4 * width, DeclarationTypeSize(element.Type));
    out->clear();
    platform::ReserveInHugePages(out, width * count);
    out->resize(width * count, 0.0f);
    for (std::size_t v = 0; v < count; ++v)
        std::memcpy(&(*out)[width * v], vertices + v * stride + element.Offset, bytes);
}

// Colours of a D3DCOLOR element (ARGB in one 32-bit value) as k / 255 floats r g b a.
void CopyPackedColors(const unsigned char* vertices, UINT stride, const D3DVERTEXELEMENT9& element, std::size_t count,
                      std::vector<float>* out) {
    out->resize(4 * count);
    for (std::size_t v = 0; v < count; ++v) {
        DWORD packed = 0;
        std::memcpy(&packed, vertices + v * stride + element.Offset, 4);
        const int shifts[4] = {16, 8, 0, 24};
        for (int k = 0; k < 4; ++k) (*out)[4 * v + k] = static_cast<float>((packed >> shifts[k]) & 0xFF) / 255.0f;
    }
}

bool FitsInVertex(const D3DVERTEXELEMENT9* element, UINT stride) {
    return element != nullptr && element->Stream == 0 &&
           element->Offset + DeclarationTypeSize(element->Type) <= stride;
}

}  // namespace

std::size_t TranslucentColors(const MeshFileData& data) {
    std::size_t count = 0;
    for (std::size_t v = 0; 4 * v + 3 < data.colors.size(); ++v) count += data.colors[4 * v + 3] != 1.0f ? 1 : 0;
    return count;
}

HRESULT CannotWrite(const char* path, int reason, std::string* error) {
    *error = std::string(path) + ": cannot write: " + std::strerror(reason);
    return E_FAIL;
}

HRESULT CopyMeshFileData(Mesh* mesh, bool withNormals, MeshFileData* out) {
    if (mesh == nullptr || out == nullptr) return D3DERR_INVALIDCALL;
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    HRESULT result = mesh->CopyDeclaration(declaration);
    if (FAILED(result)) return result;
    const VertexLayoutView layout(declaration);
    if (!FitsInVertex(layout.position, layout.stride) || (withNormals && !FitsInVertex(layout.normal, layout.stride)))
        return D3DERR_INVALIDCALL;
    const D3DVERTEXELEMENT9* texture = layout.textureCoordinates[0];
    const D3DVERTEXELEMENT9* color = layout.diffuse;
    const std::size_t vertices = mesh->VertexCount();
    const std::size_t corners = std::size_t{3} * mesh->FaceCount();
    try {
        void* data = nullptr;
        result = mesh->LockVertices(D3DLOCK_READONLY, &data);
        if (FAILED(result)) return result;
        const auto* bytes = static_cast<const unsigned char*>(data);
        CopyElement(bytes, layout.stride, *layout.position, vertices, 3, &out->positions);
        out->normals.clear();
        out->textureCoordinates.clear();
        out->colors.clear();
        out->colorBytes = false;
        if (FitsInVertex(layout.normal, layout.stride))
            CopyElement(bytes, layout.stride, *layout.normal, vertices, 3, &out->normals);
        if (FitsInVertex(texture, layout.stride))
            CopyElement(bytes, layout.stride, *texture, vertices, 2, &out->textureCoordinates);
        if (FitsInVertex(color, layout.stride)) {
            out->colorBytes = color->Type == D3DDECLTYPE_D3DCOLOR;
            if (out->colorBytes)
                CopyPackedColors(bytes, layout.stride, *color, vertices, &out->colors);
            else
                CopyElement(bytes, layout.stride, *color, vertices, 4, &out->colors);
        }
        mesh->UnlockVertices();
        result = mesh->LockIndices(D3DLOCK_READONLY, &data);
        if (FAILED(result)) return result;
        out->corners.clear();
        platform::ReserveInHugePages(&out->corners, corners);
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

namespace {

std::size_t VerticesOutsideFaces(const MeshFileData& data) {
    std::vector<bool> used(data.VertexCount(), false);
    for (const DWORD corner : data.corners)
        if (corner < used.size()) used[corner] = true;
    return static_cast<std::size_t>(std::count(used.begin(), used.end(), false));
}

}  // namespace

MeshFileLosses MeshFileLossesOf(const MeshFileData& data, MeshFileFormat format) {
    MeshFileLosses losses;
    if (format == MeshFileFormat::Stl) {
        losses.verticesOutsideFaces = VerticesOutsideFaces(data);
        losses.normals = data.normals.size() / 3;
        losses.textureCoordinates = data.textureCoordinates.size() / 2;
        losses.colors = data.colors.size() / 4;
    } else if (format == MeshFileFormat::Obj) {
        losses.alphas = TranslucentColors(data);
    }
    return losses;
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
        if (!options.normals) data.normals.clear();
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
