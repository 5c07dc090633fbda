// The writer of each mesh format, behind WriteMeshData. Each writes `data` to `file`,
// checks the stream after every row and stops at the first failed write, while errno
// still says why.
#pragma once

#include "facet/mesh_file.h"

#include <cstdio>

namespace facet {

inline bool StreamGood(std::FILE* file) { return std::ferror(file) == 0; }

// "3 a b c" per face, as text PLY and OFF both list them.
bool WriteTriangleRows(std::FILE* file, const MeshFileData& data);

bool WriteObj(std::FILE* file, const MeshFileData& data, const char* comment);
bool WritePly(std::FILE* file, const MeshFileData& data, bool binary, const char* comment);
bool WriteOff(std::FILE* file, const MeshFileData& data);
bool WriteStl(std::FILE* file, const MeshFileData& data, bool binary, const char* comment);

}  // namespace facet
