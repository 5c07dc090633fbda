// OBJ as the library writes it: a comment, the "v" lines, the "vn" lines when the data has
// normals (numbered as the vertices), then one "f" line per triangle.
#include "geometry/mesh_file_writers.h"

namespace facet {

bool WriteObj(std::FILE* file, const MeshFileData& data, const char* comment) {
    std::fprintf(file, "# %s\n", comment);
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        std::fprintf(file, "v %.9g %.9g %.9g\n", data.positions[3 * v], data.positions[3 * v + 1],
                     data.positions[3 * v + 2]);
        if (!StreamGood(file)) return false;
    }
    const bool normals = !data.normals.empty();
    for (std::size_t v = 0; normals && v < data.VertexCount(); ++v) {
        std::fprintf(file, "vn %.9g %.9g %.9g\n", data.normals[3 * v], data.normals[3 * v + 1],
                     data.normals[3 * v + 2]);
        if (!StreamGood(file)) return false;
    }
    for (std::size_t f = 0; f < data.FaceCount(); ++f) {
        const DWORD a = data.corners[3 * f] + 1, b = data.corners[3 * f + 1] + 1, c = data.corners[3 * f + 2] + 1;
        if (normals)
            std::fprintf(file, "f %u//%u %u//%u %u//%u\n", a, a, b, b, c, c);
        else
            std::fprintf(file, "f %u %u %u\n", a, b, c);
        if (!StreamGood(file)) return false;
    }
    return true;
}

}  // namespace facet
