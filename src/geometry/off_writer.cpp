// OFF as the library writes it: "[ST][C][N]OFF" as the data has texture coordinates,
// colours and normals, the counts line (no edges), the vertex rows, then the triangles.
// OFF has no place for a comment.
#include "geometry/mesh_file_writers.h"

#include <cstring>

namespace facet {

bool WriteTriangleRows(std::FILE* file, const MeshFileData& data) {
    for (std::size_t f = 0; f < data.FaceCount(); ++f) {
        std::fprintf(file, "3 %u %u %u\n", data.corners[3 * f], data.corners[3 * f + 1], data.corners[3 * f + 2]);
        if (!StreamGood(file)) return false;
    }
    return true;
}

void WriteVertexRow(std::FILE* file, const MeshFileData& data, std::size_t v, bool alpha) {
    std::fprintf(file, "%.9g %.9g %.9g", data.positions[3 * v], data.positions[3 * v + 1], data.positions[3 * v + 2]);
    if (!data.normals.empty())
        std::fprintf(file, " %.9g %.9g %.9g", data.normals[3 * v], data.normals[3 * v + 1], data.normals[3 * v + 2]);
    for (int k = 0; !data.colors.empty() && k < (alpha ? 4 : 3); ++k) {
        const float value = data.colors[4 * v + k];
        if (data.colorBytes) {
            std::fprintf(file, " %u", ColorByte(value));
            continue;
        }
        // A float colour of whole values still reads as floats (OFF takes a colour of
        // whole numbers as 0 to 255), so a whole value gets its ".0".
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", value);
        std::fprintf(file, " %s%s", text, std::strpbrk(text, ".eEn") == nullptr ? ".0" : "");
    }
    if (!data.textureCoordinates.empty())
        std::fprintf(file, " %.9g %.9g", data.textureCoordinates[2 * v], data.textureCoordinates[2 * v + 1]);
    std::fputc('\n', file);
}

bool WriteOff(std::FILE* file, const MeshFileData& data) {
    std::fprintf(file, "%s%s%sOFF\n%zu %zu 0\n", data.textureCoordinates.empty() ? "" : "ST",
                 data.colors.empty() ? "" : "C", data.normals.empty() ? "" : "N", data.VertexCount(),
                 data.FaceCount());
    const bool alpha = TranslucentColors(data) > 0;
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        WriteVertexRow(file, data, v, alpha);
        if (!StreamGood(file)) return false;
    }
    return WriteTriangleRows(file, data);
}

}  // namespace facet
