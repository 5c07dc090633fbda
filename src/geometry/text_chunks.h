// Text mesh bodies read on several threads: the body is cut into one chunk per thread at
// line ends, each chunk is read into contents of its own, and those are joined in file
// order, so the result is the one a single read from the start gives.
#pragma once

#include "geometry/mesh_file_contents.h"
#include "geometry/read_split_sizes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace facet {

class ThreadPool;

// How many chunks a body of `size` bytes is read in on `pool`: 1 (read it on the caller)
// without a pool of several threads or when the body is small.
std::size_t TextChunkCount(const ThreadPool* pool, std::size_t size);

// Lets go of the mapped pages of the input's bytes [begin, end) once a pass over a chunk
// is done with them (see MeshInputBytes::ReleaseRange), so that a large file does not
// stay resident beside the mesh: the next pass over the chunk, if any, reads them again
// from the page cache. Nothing for an input read into memory or none at all.
void ReleaseChunkPages(const MeshInputBytes* input, std::size_t begin, std::size_t end);

// The bounds of `parts` chunks over bytes [begin, end): parts + 1 offsets from `begin` to
// `end`, each inner one just past a '\n' (which ends a line whatever the file's line
// breaks, as a lone '\r' or as "\r\n"), so no line is cut. With `joinContinued`, no cut
// follows a line that ends in a backslash, which goes on over the next. A chunk may be
// empty.
std::vector<std::size_t> ChunksAtLineEnds(const char* bytes, std::size_t begin, std::size_t end,
                                          std::size_t parts, bool joinContinued = false);

// One chunk of a body whose records take one line with a word on it each (blank lines
// and, with a comment mark, comment lines between them).
struct TextChunk {
    std::size_t begin = 0, end = 0;  // its bytes
    std::uint64_t linesBefore = 0;   // the file's lines before it
    std::uint64_t firstRecord = 0;   // the body's records before it
    std::uint64_t records = 0;       // the records it holds
};

enum class ChunkedRead { Read, Refused, OnOneThread };

// Reads the first `records` records of the body in bytes [begin, size) (after line
// `linesBefore`) in `parts` chunks on `pool`, as one read from the start would: the
// chunks count their lines and lines with a word, so each knows where it starts, then
// `readChunk` reads each chunk's records into contents of its own (false with the refusal
// set), and those are joined into `*contents`. Refused with the first refusal in file
// order, or, when the body holds fewer records, with `endOfFile(recordsFound)` at the
// file's last line. OnOneThread, with nothing added, when the triangles pass the limit
// (see JoinChunkContents).
using ChunkReader = std::function<bool(const TextChunk& chunk, MeshFileContents* contents, std::string* error)>;
ChunkedRead ReadTextChunks(const char* name, const char* bytes, std::size_t begin, std::size_t size,
                           std::uint64_t linesBefore, char commentMark, std::uint64_t records, ThreadPool* pool,
                           std::size_t parts, const ChunkReader& readChunk,
                           const std::function<std::string(std::uint64_t recordsFound)>& endOfFile,
                           MeshFileContents* contents, std::string* error);

// Appends the chunks' vertex data, triangles, split polygons (their first triangles moved
// past the triangles before them) and polygon counts to `*contents`, in chunk order,
// letting go of each chunk's data once it is copied. False, with nothing appended, when
// the triangles together pass the file limit: the caller then reads the file again on one
// thread, which refuses it at the face that passes the limit.
bool JoinChunkContents(std::vector<MeshFileContents>& chunks, MeshFileContents* contents);

}  // namespace facet
