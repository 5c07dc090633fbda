// OBJ as the library writes it: a comment, the "v" lines (with "r g b" when the data has
// colours: OBJ has no alpha), the "vt" and "vn" lines when the data has them (numbered as
// the vertices), then one "f" line per triangle naming each corner's vertex, texture
// coordinate and normal by that one number.
#include "geometry/mesh_file_writers.h"

namespace facet {

namespace {

bool WriteRows(std::FILE* file, const std::vector<float>& values, std::size_t width, const char* keyword) {
    for (std::size_t v = 0; v < values.size() / width; ++v) {
        std::fputs(keyword, file);
        for (std::size_t k = 0; k < width; ++k) std::fprintf(file, " %.9g", values[width * v + k]);
        std::fputc('\n', file);
        if (!StreamGood(file)) return false;
    }
    return true;
}

}  // namespace

bool WriteObj(std::FILE* file, const MeshFileData& data, const char* comment) {
    std::fprintf(file, "# %s\n", comment);
    const bool colors = !data.colors.empty();
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        std::fprintf(file, "v %.9g %.9g %.9g", data.positions[3 * v], data.positions[3 * v + 1],
                     data.positions[3 * v + 2]);
        if (colors)
            std::fprintf(file, " %.9g %.9g %.9g", data.colors[4 * v], data.colors[4 * v + 1], data.colors[4 * v + 2]);
        std::fputc('\n', file);
        if (!StreamGood(file)) return false;
    }
    if (!WriteRows(file, data.textureCoordinates, 2, "vt") || !WriteRows(file, data.normals, 3, "vn")) return false;
    const bool textures = !data.textureCoordinates.empty(), normals = !data.normals.empty();
    for (std::size_t f = 0; f < data.FaceCount(); ++f) {
        std::fputc('f', file);
        for (int k = 0; k < 3; ++k) {
            const DWORD corner = data.corners[3 * f + k] + 1;
            if (textures && normals) std::fprintf(file, " %u/%u/%u", corner, corner, corner);
            else if (textures) std::fprintf(file, " %u/%u", corner, corner);
            else if (normals) std::fprintf(file, " %u//%u", corner, corner);
            else std::fprintf(file, " %u", corner);
        }
        std::fputc('\n', file);
        if (!StreamGood(file)) return false;
    }
    return true;
}

}  // namespace facet
