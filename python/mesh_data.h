// facet.MeshData: what facet.read gives back, or what a caller makes of arrays for
// facet.info. Positions are N x 3 float32, faces M x 3 uint32; normals, texcoords and
// colors are arrays or None (texcoords N x 2 float32, colors N x 4 float32 RGBA in 0 to 1,
// 8-bit file colours as k / 255); format is the file's ("OBJ", "PLY", "OFF", "STL") or None.
// Data read from a file, bytes or a stream remembers what its reader counted (polygons
// before splitting, encoding) and the input's name, so facet.info of it equals facet.info
// of the input.
#pragma once

#include "facet/mesh_file.h"

#include <pybind11/pybind11.h>

#include <optional>
#include <string>

namespace facet_python {

namespace py = pybind11;

struct MeshData {
    py::object positions;
    py::object faces;
    py::object normals = py::none();
    py::object texcoords = py::none();
    py::object colors = py::none();
    py::object format = py::none();

    std::optional<facet::MeshFileSummary> summary;  // what the reader counted, when it was read
    std::optional<std::string> file;                // the read input's name (a path), if it had one
};

// Hands the read arrays over without copying them. Vertex data the file data does not
// hold stays None: each attribute the readers add is one more line here.
MeshData MeshDataFromFile(facet::MeshFileData&& data, const facet::MeshFileSummary& summary,
                          std::optional<std::string> file);

// MeshData(positions, faces, normals=None): checked as the functions check them.
MeshData MeshDataFromArrays(py::handle positions, py::handle faces, py::handle normals);

}  // namespace facet_python
