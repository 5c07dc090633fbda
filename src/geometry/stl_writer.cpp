// STL as the library writes it: each triangle on its own with its three corner positions
// and the unit normal of its plane, computed here from the corners in double precision
// (0 0 0 for a triangle of no area). ASCII is one "solid … endsolid" block; binary is the
// 80-byte header, the little-endian triangle count and 50 bytes per triangle with the
// attribute bytes zero.
#include "geometry/mesh_file_writers.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace facet {

namespace {

struct Triangle {
    float normal[3];
    const float* corner[3];
};

Triangle TriangleOf(const MeshFileData& data, std::size_t face) {
    Triangle triangle;
    for (int k = 0; k < 3; ++k) triangle.corner[k] = &data.positions[3 * std::size_t{data.corners[3 * face + k]}];
    double u[3], v[3];
    for (int axis = 0; axis < 3; ++axis) {
        u[axis] = double{triangle.corner[1][axis]} - triangle.corner[0][axis];
        v[axis] = double{triangle.corner[2][axis]} - triangle.corner[0][axis];
    }
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int axis = 0; axis < 3; ++axis)
        triangle.normal[axis] = length > 0.0 && std::isfinite(length) ? static_cast<float>(n[axis] / length) : 0.0f;
    return triangle;
}

bool WriteStlText(std::FILE* file, const MeshFileData& data, const char* comment) {
    std::fprintf(file, "solid %s\n", comment);
    for (std::size_t f = 0; f < data.FaceCount(); ++f) {
        const Triangle t = TriangleOf(data, f);
        std::fprintf(file, "  facet normal %.9g %.9g %.9g\n    outer loop\n", t.normal[0], t.normal[1], t.normal[2]);
        for (const float* p : t.corner) std::fprintf(file, "      vertex %.9g %.9g %.9g\n", p[0], p[1], p[2]);
        std::fputs("    endloop\n  endfacet\n", file);
        if (!StreamGood(file)) return false;
    }
    std::fprintf(file, "endsolid %s\n", comment);
    return StreamGood(file);
}

bool WriteStlBinary(std::FILE* file, const MeshFileData& data, const char* comment) {
    static_assert(std::endian::native == std::endian::little, "binary STL is written in native order");
    unsigned char header[84] = {};
    std::memcpy(header, comment, std::min<std::size_t>(std::strlen(comment), 80));
    const auto count = static_cast<std::uint32_t>(data.FaceCount());
    std::memcpy(header + 80, &count, 4);
    RecordBlocks out(file);
    if (!out.Append(header, sizeof header)) return false;
    for (std::size_t f = 0; f < data.FaceCount(); ++f) {
        const Triangle t = TriangleOf(data, f);
        unsigned char record[50] = {};
        std::memcpy(record, t.normal, 12);
        for (int k = 0; k < 3; ++k) std::memcpy(record + 12 + 12 * k, t.corner[k], 12);
        if (!out.Append(record, sizeof record)) return false;
    }
    return out.Flush();
}

}  // namespace

bool WriteStl(std::FILE* file, const MeshFileData& data, bool binary, const char* comment) {
    return binary ? WriteStlBinary(file, data, comment) : WriteStlText(file, data, comment);
}

}  // namespace facet
