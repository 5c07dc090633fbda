// The module's functions, one per routine of the library or command of the program,
// each giving what the program gives for the same file or arrays. Each releases the
// interpreter lock while the library works. `threads` (see thread_pools.h) is checked by
// every function and handed to each library routine that spreads its work over a pool.
#pragma once

#include "mesh_data.h"

#include <pybind11/numpy.h>

#include <cstdint>

namespace facet_python {

namespace py = pybind11;

// Files: file_functions.cpp.
MeshData Read(py::handle source, py::handle format, py::handle threads);
void Write(py::handle path, py::handle positions, py::handle faces, py::handle normals, py::handle texcoords,
           py::handle colors, bool binary);
py::dict Info(py::handle source, double epsilon, py::handle format, py::handle threads);

// Arrays: mesh_functions.cpp.
py::array_t<std::uint32_t> Weld(py::handle positions, double epsilon, py::handle threads);
py::array_t<std::uint32_t> Adjacency(py::handle faces, py::handle positions, double epsilon, py::handle threads);
py::array_t<float> VertexNormals(py::handle positions, py::handle faces, double epsilon, py::handle threads);
py::tuple Optimize(py::handle positions, py::handle faces, py::handle threads);
py::tuple Clean(py::handle positions, py::handle faces, double epsilon, py::handle threads);

}  // namespace facet_python
