// The `facet` Python module: the library's mesh files and routines over numpy arrays.
#include "errors.h"
#include "functions.h"
#include "mesh_data.h"

#include <pybind11/pybind11.h>

namespace py = pybind11;
using namespace pybind11::literals;

PYBIND11_MODULE(facet, module) {
    using namespace facet_python;
    module.doc() =
        "Facet's mesh files and mesh routines over numpy arrays: positions are N x 3 float32,\n"
        "faces M x 3 uint32 (other numeric arrays are converted once; C-contiguous arrays of\n"
        "those types are used as they are). Results equal the facet program's on the same\n"
        "files. Bad data raises ValueError, unreadable or unwritable files OSError.\n"
        "threads= (every function that works on a mesh): how many threads the work may use,\n"
        "None (the default) for all the processor's; results are the same for every count.";
    RegisterExceptions();
    module.attr("NO_NEIGHBOUR") = py::int_(0xFFFFFFFFu);

    py::class_<MeshData>(module, "MeshData",
                         "A mesh's arrays: positions, faces, normals, texcoords (N x 2), colors (N x 4 RGBA\n"
                         "floats 0 to 1; 8-bit file colours as k / 255) (arrays or None)\n"
                         "and the format of the file it was read from (None for data made here).")
        .def(py::init(&MeshDataFromArrays), "positions"_a, "faces"_a, "normals"_a = py::none())
        .def_readonly("positions", &MeshData::positions)
        .def_readonly("faces", &MeshData::faces)
        .def_readonly("normals", &MeshData::normals)
        .def_readonly("texcoords", &MeshData::texcoords)
        .def_readonly("colors", &MeshData::colors)
        .def_readonly("format", &MeshData::format)
        .def("__repr__", [](const MeshData& data) {
            return "<facet.MeshData " + py::str(data.format).cast<std::string>() + ": " +
                   std::to_string(py::len(data.positions)) + " vertices, " + std::to_string(py::len(data.faces)) +
                   " faces>";
        });

    module.def("read", &Read, "path"_a, py::kw_only(), "format"_a = py::none(), "threads"_a = py::none(),
               "Reads an OBJ, PLY, OFF or STL mesh into a MeshData, numbered as the input numbers it\n"
               "(polygons split into triangles, STL corners joined at equal positions). path is a\n"
               "file's path (str or os.PathLike), or the mesh itself: bytes (or any buffer), or a\n"
               "binary file-like object read to its end (sys.stdin.buffer, io.BytesIO). The format\n"
               "of bytes and streams is format= ('obj', 'ply', 'off', 'stl'), else the stream name's\n"
               "extension, else told from the first bytes as `facet info -` tells it. A refused file\n"
               "raises OSError, refused bytes or streams ValueError, with the reader's line.");
    module.def("write", &Write, "path"_a, "positions"_a, "faces"_a, "normals"_a = py::none(),
               "texcoords"_a = py::none(), "colors"_a = py::none(), "binary"_a = true,
               "Writes the mesh to path in the format its extension names; binary applies to PLY and\n"
               "STL. normals N x 3, texcoords N x 2, colors N x 3 or N x 4 (floats 0 to 1, or uint8\n"
               "0 to 255 written as 8-bit values); what the format cannot hold (for STL, also\n"
               "positions in no face) raises ValueError.\n"
               "The file is complete or absent: a temporary replaces it once fully written.");
    module.def("info", &Info, "path_or_mesh"_a, "epsilon"_a = 0.0, py::kw_only(), "format"_a = py::none(),
               "threads"_a = py::none(),
               "The counts of `facet info --json` (with --weld epsilon) as a dict, for what\n"
               "facet.read takes (\"file\" is None for bytes, a stream's name for a stream) or a\n"
               "MeshData.");
    module.def("weld", &Weld, "positions"_a, "epsilon"_a = 0.0, py::kw_only(), "threads"_a = py::none(),
               "Point representatives: for each vertex, the lowest index of the vertices within\n"
               "epsilon of it in each coordinate (uint32, N).");
    module.def("adjacency", &Adjacency, "faces"_a, "positions"_a = py::none(), "epsilon"_a = 0.0, py::kw_only(),
               "threads"_a = py::none(),
               "For each face, the faces across its edges 0-1, 1-2, 2-0 (M x 3 uint32, NO_NEIGHBOUR\n"
               "for none). With positions, vertices welded within epsilon are one point, as\n"
               "`facet adjacency` joins them; without, only shared indices join faces.");
    module.def("vertex_normals", &VertexNormals, "positions"_a, "faces"_a, "epsilon"_a = 0.0, py::kw_only(),
               "threads"_a = py::none(),
               "Unit vertex normals (N x 3 float32), shared by vertices welded within epsilon, as\n"
               "`facet normals` computes them; (0, 0, 0) where no face gives a direction.");
    module.def("optimize", &Optimize, "positions"_a, "faces"_a, py::kw_only(), "threads"_a = py::none(),
               "Orders the mesh for drawing as `facet optimize` does: faces with two equal corners\n"
               "and unused vertices dropped, faces ordered for a vertex cache, vertices numbered\n"
               "by first use. Returns (positions, faces, report); the report holds the counts\n"
               "before and after, the cache figures, and face_remap and vertex_remap (new i was\n"
               "old remap[i]) to carry other per-face or per-vertex data along. To weld first,\n"
               "renumber the faces through facet.weld: faces = facet.weld(positions)[faces].");
    module.def("clean", &Clean, "positions"_a, "faces"_a, "epsilon"_a = 0.0, py::kw_only(), "threads"_a = py::none(),
               "Repairs the mesh as `facet clean` does (welds, drops degenerate and duplicate faces\n"
               "and unused vertices, makes the winding consistent, turns closed parts outward).\n"
               "Returns (positions, faces, report) with the program's counts.");
}
