// Text mesh bodies read on several threads: the body is cut into one chunk per thread at
// line ends, each chunk is read into contents of its own, and those are joined in file
// order, so the result is the one a single read from the start gives.
#pragma once

#include "geometry/mesh_file_contents.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace facet {

class ThreadPool;

// Bodies below this size are read on the caller alone: starting the threads and joining
// their parts would cost about as much as they save.
constexpr std::size_t kParallelTextBytes = std::size_t{4} << 20;

// How many chunks a body of `size` bytes is read in on `pool`: 1 (read it on the caller)
// without a pool of several threads or when the body is small.
std::size_t TextChunkCount(const ThreadPool* pool, std::size_t size);

// The bounds of `parts` chunks over bytes [begin, end): parts + 1 offsets from `begin` to
// `end`, each inner one just past a '\n' (which ends a line whatever the file's line
// breaks, as a lone '\r' or as "\r\n"), so no line is cut. A chunk may be empty.
std::vector<std::size_t> ChunksAtLineEnds(const char* bytes, std::size_t begin, std::size_t end,
                                          std::size_t parts);

// Appends the chunks' vertex data, triangles, split polygons (their first triangles moved
// past the triangles before them) and polygon counts to `*contents`, in chunk order,
// letting go of each chunk's data once it is copied. False, with nothing appended, when
// the triangles together pass the file limit: the caller then reads the file again on one
// thread, which refuses it at the face that passes the limit.
bool JoinChunkContents(std::vector<MeshFileContents>& chunks, MeshFileContents* contents);

}  // namespace facet
