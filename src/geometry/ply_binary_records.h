// The common binary PLY layouts read in bulk: vertex records of one fixed size whose x, y
// and z are floats, and face records that hold only a corner list of three 32-bit
// indices. Each loop copies record after record with no per-value dispatch and stops at
// the first record it cannot take as it is (a coordinate that is not finite, a face that
// is not a triangle, an index out of range), leaving that record and the rest to the
// general reader, which then reads or refuses it as always. Little-endian data on a
// little-endian machine only.
#pragma once

#include "springdrop/d3d9/d3d9.h"

#include <cstddef>
#include <cstdint>

namespace facet {

struct PlyVertexRecordLayout {
    std::size_t recordBytes = 0;
    std::size_t coordinateOffset[3] = {0, 0, 0};  // of x, y and z in the record
};

// Reads at most `records` vertex records at `bytes` into `positions` (three per record).
// Returns how many were read.
std::size_t ReadPlyVertexRecords(const char* bytes, std::size_t records, const PlyVertexRecordLayout& layout,
                                 float* positions);

// Reads at most `records` face records at `bytes`, each a count of `countBytes` bytes
// that says 3, then three indices below `vertexCount`, into `corners` (three per record).
// Returns how many were read.
std::size_t ReadPlyTriangleRecords(const char* bytes, std::size_t records, std::size_t countBytes,
                                   std::uint64_t vertexCount, DWORD* corners);

}  // namespace facet
