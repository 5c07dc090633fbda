// The one line a command prints when the format it writes has no place for some of the
// vertex data it read: "facet COMMAND: OUT holds no texture coordinates; 2,077 were left
// out". Writing goes on; the line only says what the output lacks.
#pragma once

#include "facet/mesh_file.h"

#include <cstdio>

// Prints the line to `to` when writing `data` as `format` leaves anything out.
void ReportLeftOut(std::FILE* to, const char* command, const char* output, const facet::MeshFileData& data,
                   facet::MeshFileFormat format);
