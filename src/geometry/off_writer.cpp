// OFF as the library writes it: "OFF", the counts line (no edges), positions, then the
// triangles. OFF has no place for a comment or for vertex normals.
#include "geometry/mesh_file_writers.h"

namespace facet {

bool WriteTriangleRows(std::FILE* file, const MeshFileData& data) {
    for (std::size_t f = 0; f < data.FaceCount(); ++f) {
        std::fprintf(file, "3 %u %u %u\n", data.corners[3 * f], data.corners[3 * f + 1], data.corners[3 * f + 2]);
        if (!StreamGood(file)) return false;
    }
    return true;
}

bool WriteOff(std::FILE* file, const MeshFileData& data) {
    std::fprintf(file, "OFF\n%zu %zu 0\n", data.VertexCount(), data.FaceCount());
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        std::fprintf(file, "%.9g %.9g %.9g\n", data.positions[3 * v], data.positions[3 * v + 1],
                     data.positions[3 * v + 2]);
        if (!StreamGood(file)) return false;
    }
    return WriteTriangleRows(file, data);
}

}  // namespace facet
