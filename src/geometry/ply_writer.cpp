// PLY as the library writes it: text, or binary little-endian (the byte order of the
// machines this runs on), float positions and normals, and uchar-counted index lists.
#include "geometry/mesh_file_writers.h"

#include <bit>
#include <cstring>

namespace facet {

namespace {

bool WritePlyHeader(std::FILE* file, const MeshFileData& data, bool binary, const char* comment) {
    std::fprintf(file, "ply\nformat %s 1.0\ncomment %s\nelement vertex %zu\n",
                 binary ? "binary_little_endian" : "ascii", comment, data.VertexCount());
    std::fputs("property float x\nproperty float y\nproperty float z\n", file);
    if (!data.normals.empty()) std::fputs("property float nx\nproperty float ny\nproperty float nz\n", file);
    std::fprintf(file, "element face %zu\nproperty list uchar %s vertex_indices\nend_header\n", data.FaceCount(),
                 binary ? "uint" : "int");
    return StreamGood(file);
}

bool WritePlyText(std::FILE* file, const MeshFileData& data) {
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        const float* p = &data.positions[3 * v];
        if (data.normals.empty()) {
            std::fprintf(file, "%.9g %.9g %.9g\n", p[0], p[1], p[2]);
        } else {
            const float* n = &data.normals[3 * v];
            std::fprintf(file, "%.9g %.9g %.9g %.9g %.9g %.9g\n", p[0], p[1], p[2], n[0], n[1], n[2]);
        }
        if (!StreamGood(file)) return false;
    }
    return WriteTriangleRows(file, data);
}

bool WritePlyBinary(std::FILE* file, const MeshFileData& data) {
    static_assert(std::endian::native == std::endian::little, "binary PLY is written in native order");
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        std::fwrite(&data.positions[3 * v], sizeof(float), 3, file);
        if (!data.normals.empty()) std::fwrite(&data.normals[3 * v], sizeof(float), 3, file);
        if (!StreamGood(file)) return false;
    }
    for (std::size_t f = 0; f < data.FaceCount(); ++f) {
        unsigned char record[13];
        record[0] = 3;
        std::memcpy(record + 1, &data.corners[3 * f], 12);
        std::fwrite(record, 1, sizeof record, file);
        if (!StreamGood(file)) return false;
    }
    return true;
}

}  // namespace

bool WritePly(std::FILE* file, const MeshFileData& data, bool binary, const char* comment) {
    if (!WritePlyHeader(file, data, binary, comment)) return false;
    return binary ? WritePlyBinary(file, data) : WritePlyText(file, data);
}

}  // namespace facet
