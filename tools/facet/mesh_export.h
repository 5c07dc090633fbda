// Meshes as the facet program writes them: OBJ, PLY (text or binary little-endian) and
// OFF, with or without vertex normals, in the mesh's own vertex and face numbering.
#pragma once

#include "facet/mesh.h"

#include <cstdio>
#include <vector>

struct MeshExport {
    std::vector<float> positions;  // three per vertex
    std::vector<float> normals;    // three per vertex, or empty
    std::vector<DWORD> corners;    // three per face

    std::size_t VertexCount() const { return positions.size() / 3; }
    std::size_t FaceCount() const { return corners.size() / 3; }
};

enum class ExportFormat { Obj, PlyText, PlyBinary, Off };

// Copies a mesh of position and normal per vertex (FVF 0x12, either index width); the
// normals only when `withNormals`. A failed lock's code is returned.
HRESULT CopyMeshForExport(facet::Mesh* mesh, bool withNormals, MeshExport* out);

// The format named by the path's extension; `binary` picks binary PLY. False for an
// extension that names none of the three.
bool ExportFormatOfPath(const char* path, bool binary, ExportFormat* format);

// Whether the path's extension names `format` (.obj, .ply or .off in any case; binary
// and text PLY share .ply).
bool PathNamesFormat(const char* path, ExportFormat format);

// Writes the mesh with `comment` in the header (OFF has no place for one). An
// OutputWriter: false at the first failed write, errno saying why.
bool WriteMeshExport(std::FILE* file, const MeshExport& mesh, ExportFormat format, const char* comment);
