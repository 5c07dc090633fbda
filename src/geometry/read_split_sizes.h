// The sizes from which the mesh file readers split their work over a caller's pool, and
// the pieces they split it into. Below them a read runs on the caller alone: starting the
// threads and joining their parts would cost about as much as they save.
//
// A build that tests the splitting on small inputs (the fuzz targets) defines
// FACET_SPLIT_SMALL_WORK, so that a few bytes already take every path a large file takes
// on a pool. The mesh, summary and refusal are the same whatever these sizes are.
#pragma once

#include <cstddef>
#include <cstdint>

namespace facet {

#ifdef FACET_SPLIT_SMALL_WORK
constexpr std::size_t kParallelTextBytes = 64;
constexpr std::size_t kSmallestTextChunk = 16;
constexpr std::size_t kPlyBulkBlock = 4;
constexpr std::uint32_t kPipelinedStlTriangles = 1;
constexpr std::size_t kStlRunTriangles = 4;
#else
// Text bodies from this size on are cut into chunks at line ends, none smaller than the
// second.
constexpr std::size_t kParallelTextBytes = std::size_t{4} << 20;
constexpr std::size_t kSmallestTextChunk = std::size_t{1} << 20;
// Binary PLY records are converted in blocks of this many (a progress mark between two),
// and a pool's part takes at least one block.
constexpr std::size_t kPlyBulkBlock = std::size_t{1} << 16;
// From this many triangles on, a pool copies and hashes binary STL's triangles on one
// thread while another joins their corners, in runs of the second.
constexpr std::uint32_t kPipelinedStlTriangles = 1u << 16;
constexpr std::size_t kStlRunTriangles = 1024;
#endif

}  // namespace facet
