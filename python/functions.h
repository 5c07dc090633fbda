// The module's functions, one per routine of the library or command of the program,
// each giving what the program gives for the same file or arrays. Each releases the
// interpreter lock while the library works.
#pragma once

#include "mesh_data.h"

#include <pybind11/numpy.h>

#include <cstdint>

namespace facet_python {

namespace py = pybind11;

// Files: file_functions.cpp.
MeshData Read(py::handle path);
void Write(py::handle path, py::handle positions, py::handle faces, py::handle normals, py::handle texcoords,
           py::handle colors, bool binary);
py::dict Info(py::handle pathOrMesh, double epsilon);

// Arrays: mesh_functions.cpp.
py::array_t<std::uint32_t> Weld(py::handle positions, double epsilon);
py::array_t<std::uint32_t> Adjacency(py::handle faces, py::handle positions, double epsilon);
py::array_t<float> VertexNormals(py::handle positions, py::handle faces, double epsilon);
py::tuple Optimize(py::handle positions, py::handle faces);
py::tuple Clean(py::handle positions, py::handle faces, double epsilon);

}  // namespace facet_python
