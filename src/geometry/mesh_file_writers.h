// The writer of each mesh format, behind WriteMeshData. Each writes `data` to `file`,
// checks the stream after every row and stops at the first failed write, while errno
// still says why.
#pragma once

#include "facet/mesh_file.h"
#include "geometry/mesh_file_contents.h"

#include <cstdio>

namespace facet {

inline bool StreamGood(std::FILE* file) { return std::ferror(file) == 0; }

// Vertices whose colour's alpha is not 1: alpha is written only when there are some.
std::size_t TranslucentColors(const MeshFileData& data);

// "3 a b c" per face, as text PLY and OFF both list them.
bool WriteTriangleRows(std::FILE* file, const MeshFileData& data);

// "x y z [nx ny nz] [r g b [a]] [u v]" for vertex `v`, as text PLY and OFF both list a
// vertex: 8-bit colours as whole numbers, float colours as floats (a whole value with
// ".0"), alpha when `alpha`.
void WriteVertexRow(std::FILE* file, const MeshFileData& data, std::size_t v, bool alpha);

bool WriteObj(std::FILE* file, const MeshFileData& data, const char* comment);
bool WritePly(std::FILE* file, const MeshFileData& data, bool binary, const char* comment);
bool WriteOff(std::FILE* file, const MeshFileData& data);
bool WriteStl(std::FILE* file, const MeshFileData& data, bool binary, const char* comment);

}  // namespace facet
