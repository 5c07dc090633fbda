// Building facet.MeshData; see mesh_data.h.
#include "mesh_data.h"

#include "array_input.h"
#include "errors.h"
#include "info_report.h"
#include "numpy_output.h"

#include <utility>

namespace facet_python {

MeshData MeshDataFromFile(facet::MeshFileData&& data, const facet::MeshFileSummary& summary,
                          std::optional<std::string> file) {
    MeshData mesh;
    const std::size_t vertices = data.VertexCount();
    const std::size_t faces = data.FaceCount();
    mesh.positions = ToArray(std::move(data.positions), vertices, 3);
    mesh.faces = ToArray(std::move(data.corners), faces, 3);
    if (!data.normals.empty()) mesh.normals = ToArray(std::move(data.normals), vertices, 3);
    if (!data.textureCoordinates.empty()) mesh.texcoords = ToArray(std::move(data.textureCoordinates), vertices, 2);
    if (!data.colors.empty()) mesh.colors = ToArray(std::move(data.colors), vertices, 4);
    mesh.format = py::str(MeshFormatName(summary.format));
    mesh.file = std::move(file);
    mesh.summary = summary;
    return mesh;
}

MeshData MeshDataFromArrays(py::handle positions, py::handle faces, py::handle normals) {
    MeshData mesh;
    const FloatRows takenPositions = TakeFloat3(positions, "MeshData", "positions");
    const FaceArray takenFaces = TakeFaces(faces, "MeshData");
    CheckCorners(takenFaces, takenPositions.rows, "MeshData");
    mesh.positions = takenPositions.array;
    std::vector<std::uint32_t> corners(3 * takenFaces.rows());
    takenFaces.CopyTo(corners.data());
    mesh.faces = ToArray(std::move(corners), takenFaces.rows(), 3);
    if (!normals.is_none()) {
        const FloatRows takenNormals = TakeFloat3(normals, "MeshData", "normals");
        if (takenNormals.rows != takenPositions.rows)
            ThrowValueError("facet.MeshData: normals must have one row per position");
        mesh.normals = takenNormals.array;
    }
    return mesh;
}

}  // namespace facet_python
