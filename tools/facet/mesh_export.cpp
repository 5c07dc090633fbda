// Writers for the three mesh formats. Floats are written with nine significant digits,
// enough for every float to read back to the same value.
#include "mesh_export.h"

#include "standard_output.h"

#include "facet/mesh_file.h"

#include <bit>
#include <cstring>

namespace {

// "3 a b c" per face, as text PLY and OFF both list them.
bool WriteTriangleRows(std::FILE* file, const MeshExport& mesh) {
    for (std::size_t f = 0; f < mesh.FaceCount(); ++f) {
        std::fprintf(file, "3 %u %u %u\n", mesh.corners[3 * f], mesh.corners[3 * f + 1], mesh.corners[3 * f + 2]);
        if (!StreamGood(file)) return false;
    }
    return true;
}

// Each writer checks the stream after every row and stops at the first failed write,
// while errno still says why (see OutputWriter).

bool WriteObj(std::FILE* file, const MeshExport& mesh, const char* comment) {
    std::fprintf(file, "# %s\n", comment);
    for (std::size_t v = 0; v < mesh.VertexCount(); ++v) {
        std::fprintf(file, "v %.9g %.9g %.9g\n", mesh.positions[3 * v], mesh.positions[3 * v + 1],
                     mesh.positions[3 * v + 2]);
        if (!StreamGood(file)) return false;
    }
    const bool normals = !mesh.normals.empty();
    for (std::size_t v = 0; normals && v < mesh.VertexCount(); ++v) {
        std::fprintf(file, "vn %.9g %.9g %.9g\n", mesh.normals[3 * v], mesh.normals[3 * v + 1],
                     mesh.normals[3 * v + 2]);
        if (!StreamGood(file)) return false;
    }
    for (std::size_t f = 0; f < mesh.FaceCount(); ++f) {
        const DWORD a = mesh.corners[3 * f] + 1, b = mesh.corners[3 * f + 1] + 1, c = mesh.corners[3 * f + 2] + 1;
        if (normals)
            std::fprintf(file, "f %u//%u %u//%u %u//%u\n", a, a, b, b, c, c);
        else
            std::fprintf(file, "f %u %u %u\n", a, b, c);
        if (!StreamGood(file)) return false;
    }
    return true;
}

bool WritePlyHeader(std::FILE* file, const MeshExport& mesh, bool binary, const char* comment) {
    std::fprintf(file, "ply\nformat %s 1.0\ncomment %s\nelement vertex %zu\n",
                 binary ? "binary_little_endian" : "ascii", comment, mesh.VertexCount());
    std::fputs("property float x\nproperty float y\nproperty float z\n", file);
    if (!mesh.normals.empty()) std::fputs("property float nx\nproperty float ny\nproperty float nz\n", file);
    std::fprintf(file, "element face %zu\nproperty list uchar %s vertex_indices\nend_header\n", mesh.FaceCount(),
                 binary ? "uint" : "int");
    return StreamGood(file);
}

bool WritePlyText(std::FILE* file, const MeshExport& mesh, const char* comment) {
    if (!WritePlyHeader(file, mesh, false, comment)) return false;
    for (std::size_t v = 0; v < mesh.VertexCount(); ++v) {
        const float* p = &mesh.positions[3 * v];
        if (mesh.normals.empty()) {
            std::fprintf(file, "%.9g %.9g %.9g\n", p[0], p[1], p[2]);
        } else {
            const float* n = &mesh.normals[3 * v];
            std::fprintf(file, "%.9g %.9g %.9g %.9g %.9g %.9g\n", p[0], p[1], p[2], n[0], n[1], n[2]);
        }
        if (!StreamGood(file)) return false;
    }
    return WriteTriangleRows(file, mesh);
}

// Binary PLY is written little-endian, the byte order of the machines this runs on.
bool WritePlyBinary(std::FILE* file, const MeshExport& mesh, const char* comment) {
    static_assert(std::endian::native == std::endian::little, "binary PLY is written in native order");
    if (!WritePlyHeader(file, mesh, true, comment)) return false;
    for (std::size_t v = 0; v < mesh.VertexCount(); ++v) {
        std::fwrite(&mesh.positions[3 * v], sizeof(float), 3, file);
        if (!mesh.normals.empty()) std::fwrite(&mesh.normals[3 * v], sizeof(float), 3, file);
        if (!StreamGood(file)) return false;
    }
    for (std::size_t f = 0; f < mesh.FaceCount(); ++f) {
        unsigned char record[13];
        record[0] = 3;
        std::memcpy(record + 1, &mesh.corners[3 * f], 12);
        std::fwrite(record, 1, sizeof record, file);
        if (!StreamGood(file)) return false;
    }
    return true;
}

bool WriteOff(std::FILE* file, const MeshExport& mesh) {
    std::fprintf(file, "OFF\n%zu %zu 0\n", mesh.VertexCount(), mesh.FaceCount());
    for (std::size_t v = 0; v < mesh.VertexCount(); ++v) {
        std::fprintf(file, "%.9g %.9g %.9g\n", mesh.positions[3 * v], mesh.positions[3 * v + 1],
                     mesh.positions[3 * v + 2]);
        if (!StreamGood(file)) return false;
    }
    return WriteTriangleRows(file, mesh);
}

}  // namespace

HRESULT CopyMeshForExport(facet::Mesh* mesh, bool withNormals, MeshExport* out) {
    const std::size_t vertices = mesh->VertexCount();
    const std::size_t corners = std::size_t{3} * mesh->FaceCount();
    void* data = nullptr;
    HRESULT result = mesh->LockVertices(D3DLOCK_READONLY, &data);
    if (FAILED(result)) return result;
    const auto* floats = static_cast<const float*>(data);
    out->positions.resize(3 * vertices);
    out->normals.resize(withNormals ? 3 * vertices : 0);
    for (std::size_t v = 0; v < vertices; ++v) {
        std::memcpy(&out->positions[3 * v], floats + 6 * v, 12);
        if (withNormals) std::memcpy(&out->normals[3 * v], floats + 6 * v + 3, 12);
    }
    mesh->UnlockVertices();
    result = mesh->LockIndices(D3DLOCK_READONLY, &data);
    if (FAILED(result)) return result;
    if ((mesh->Options() & facet::MeshOptions::Indices32Bit) != 0)
        out->corners.assign(static_cast<const DWORD*>(data), static_cast<const DWORD*>(data) + corners);
    else
        out->corners.assign(static_cast<const WORD*>(data), static_cast<const WORD*>(data) + corners);
    mesh->UnlockIndices();
    return D3D_OK;
}

bool ExportFormatOfPath(const char* path, bool binary, ExportFormat* format) {
    facet::MeshFileFormat named;
    if (!facet::MeshFileFormatOfPath(path, &named)) return false;
    if (named == facet::MeshFileFormat::Obj) *format = ExportFormat::Obj;
    if (named == facet::MeshFileFormat::Ply) *format = binary ? ExportFormat::PlyBinary : ExportFormat::PlyText;
    if (named == facet::MeshFileFormat::Off) *format = ExportFormat::Off;
    return true;
}

bool PathNamesFormat(const char* path, ExportFormat format) {
    ExportFormat named = ExportFormat::Obj;
    if (!ExportFormatOfPath(path, format == ExportFormat::PlyBinary, &named)) return false;
    return named == format;
}

bool WriteMeshExport(std::FILE* file, const MeshExport& mesh, ExportFormat format, const char* comment) {
    switch (format) {
        case ExportFormat::Obj: return WriteObj(file, mesh, comment);
        case ExportFormat::PlyText: return WritePlyText(file, mesh, comment);
        case ExportFormat::PlyBinary: return WritePlyBinary(file, mesh, comment);
        case ExportFormat::Off: return WriteOff(file, mesh);
    }
    return false;
}
