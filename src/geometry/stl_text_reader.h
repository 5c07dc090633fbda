// The text form of STL (its layout: see stl_reader.cpp), read as a stream of words that
// line breaks may cut anywhere.
#pragma once

#include "geometry/mesh_file_contents.h"

#include <cstddef>
#include <string>

namespace facet {

// Reads the text form of the file called `name` into `*contents`; false with the refusal
// ("NAME: line N: why") in `*error`. `*startsWithSolid` tells whether the first word was
// "solid", so that the caller can tell a refused text file from a binary one.
//
// A large file is read in chunks on the pool of `options`, and the mesh, the summary and
// the refusal are those of one read from the start, whatever the pool's size.
bool ReadStlText(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                 MeshFileContents* contents, std::string* error, bool* startsWithSolid);

}  // namespace facet
