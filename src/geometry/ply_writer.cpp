// PLY as the library writes it: text, or binary little-endian (the byte order of the
// machines this runs on); float positions, normals and texture coordinates ("u v"),
// colours as uchar (8-bit colours) or float, alpha only when some vertex is not opaque,
// and uchar-counted index lists.
#include "geometry/mesh_file_writers.h"

#include <bit>
#include <cstring>

namespace facet {

namespace {

bool WritePlyHeader(std::FILE* file, const MeshFileData& data, bool binary, bool alpha, const char* comment) {
    std::fprintf(file, "ply\nformat %s 1.0\ncomment %s\nelement vertex %zu\n",
                 binary ? "binary_little_endian" : "ascii", comment, data.VertexCount());
    std::fputs("property float x\nproperty float y\nproperty float z\n", file);
    if (!data.normals.empty()) std::fputs("property float nx\nproperty float ny\nproperty float nz\n", file);
    if (!data.colors.empty()) {
        const char* type = data.colorBytes ? "uchar" : "float";
        std::fprintf(file, "property %s red\nproperty %s green\nproperty %s blue\n", type, type, type);
        if (alpha) std::fprintf(file, "property %s alpha\n", type);
    }
    if (!data.textureCoordinates.empty()) std::fputs("property float u\nproperty float v\n", file);
    std::fprintf(file, "element face %zu\nproperty list uchar %s vertex_indices\nend_header\n", data.FaceCount(),
                 binary ? "uint" : "int");
    return StreamGood(file);
}

bool WritePlyText(std::FILE* file, const MeshFileData& data, bool alpha) {
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        WriteVertexRow(file, data, v, alpha);
        if (!StreamGood(file)) return false;
    }
    return WriteTriangleRows(file, data);
}

bool WritePlyBinary(std::FILE* file, const MeshFileData& data, bool alpha) {
    static_assert(std::endian::native == std::endian::little, "binary PLY is written in native order");
    const int colorCount = alpha ? 4 : 3;
    RecordBlocks out(file);
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        bool written = out.Append(&data.positions[3 * v], 3 * sizeof(float));
        if (!data.normals.empty()) written = written && out.Append(&data.normals[3 * v], 3 * sizeof(float));
        if (!data.colors.empty() && data.colorBytes) {
            unsigned char color[4];
            for (int k = 0; k < colorCount; ++k) color[k] = static_cast<unsigned char>(ColorByte(data.colors[4 * v + k]));
            written = written && out.Append(color, static_cast<std::size_t>(colorCount));
        } else if (!data.colors.empty()) {
            written = written && out.Append(&data.colors[4 * v], sizeof(float) * static_cast<std::size_t>(colorCount));
        }
        if (!data.textureCoordinates.empty())
            written = written && out.Append(&data.textureCoordinates[2 * v], 2 * sizeof(float));
        if (!written) return false;
    }
    for (std::size_t f = 0; f < data.FaceCount(); ++f) {
        unsigned char record[13];
        record[0] = 3;
        std::memcpy(record + 1, &data.corners[3 * f], 12);
        if (!out.Append(record, sizeof record)) return false;
    }
    return out.Flush();
}

}  // namespace

bool WritePly(std::FILE* file, const MeshFileData& data, bool binary, const char* comment) {
    const bool alpha = TranslucentColors(data) > 0;
    if (!WritePlyHeader(file, data, binary, alpha, comment)) return false;
    return binary ? WritePlyBinary(file, data, alpha) : WritePlyText(file, data, alpha);
}

}  // namespace facet
