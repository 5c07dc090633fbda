// The bulk PLY record loops: see ply_binary_records.h.
#include "geometry/ply_binary_records.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace facet {

namespace {

static_assert(std::endian::native == std::endian::little, "binary PLY records are copied in native order");

// A float is finite unless its exponent bits are all set.
bool FiniteBits(std::uint32_t bits) { return (bits & 0x7F800000u) != 0x7F800000u; }

// Each loop copies a whole run of records first, gathering whether any of them is one it
// cannot take, and only then looks for the first such record: the copy has no branch.
constexpr std::size_t kRun = 256;

template <std::size_t CountBytes>
bool TriangleFits(const char* record, std::uint64_t vertexCount) {
    std::uint32_t count = 0, corner[3];
    std::memcpy(&count, record, CountBytes);
    std::memcpy(corner, record + CountBytes, 12);
    // Indices are compared unsigned, so a negative int index is out of range too.
    return count == 3 && corner[0] < vertexCount && corner[1] < vertexCount && corner[2] < vertexCount;
}

template <std::size_t CountBytes>
std::size_t ReadTriangles(const char* bytes, std::size_t records, std::uint64_t vertexCount, DWORD* corners) {
    constexpr std::size_t kRecord = CountBytes + 12;
    for (std::size_t first = 0; first < records; first += kRun) {
        const std::size_t end = std::min(records, first + kRun);
        std::uint32_t otherCounts = 0, largest = 0;
        for (std::size_t r = first; r < end; ++r) {
            const char* record = bytes + r * kRecord;
            std::uint32_t count = 0, corner[3];
            std::memcpy(&count, record, CountBytes);
            std::memcpy(corner, record + CountBytes, 12);
            otherCounts |= count ^ 3u;
            largest = std::max({largest, corner[0], corner[1], corner[2]});
            std::memcpy(corners + 3 * r, corner, 12);
        }
        if (otherCounts == 0 && largest < vertexCount) continue;
        for (std::size_t r = first; r < end; ++r)
            if (!TriangleFits<CountBytes>(bytes + r * kRecord, vertexCount)) return r;
    }
    return records;
}

}  // namespace

std::size_t ReadPlyVertexRecords(const char* bytes, std::size_t records, const PlyVertexRecordLayout& layout,
                                 float* positions) {
    const std::size_t stride = layout.recordBytes;
    const std::size_t x = layout.coordinateOffset[0], y = layout.coordinateOffset[1], z = layout.coordinateOffset[2];
    for (std::size_t first = 0; first < records; first += kRun) {
        const std::size_t end = std::min(records, first + kRun);
        std::uint32_t anyNotFinite = 0;
        for (std::size_t r = first; r < end; ++r) {
            const char* record = bytes + r * stride;
            std::uint32_t bits[3];
            std::memcpy(&bits[0], record + x, 4);
            std::memcpy(&bits[1], record + y, 4);
            std::memcpy(&bits[2], record + z, 4);
            anyNotFinite |= static_cast<std::uint32_t>(!FiniteBits(bits[0]) | !FiniteBits(bits[1]) | !FiniteBits(bits[2]));
            std::memcpy(positions + 3 * r, bits, 12);
        }
        if (anyNotFinite == 0) continue;
        for (std::size_t r = first; r < end; ++r)
            if (!std::isfinite(positions[3 * r]) || !std::isfinite(positions[3 * r + 1]) ||
                !std::isfinite(positions[3 * r + 2]))
                return r;
    }
    return records;
}

std::size_t ReadPlyTriangleRecords(const char* bytes, std::size_t records, std::size_t countBytes,
                                   std::uint64_t vertexCount, DWORD* corners) {
    switch (countBytes) {
        case 1: return ReadTriangles<1>(bytes, records, vertexCount, corners);
        case 2: return ReadTriangles<2>(bytes, records, vertexCount, corners);
        case 4: return ReadTriangles<4>(bytes, records, vertexCount, corners);
        default: return 0;
    }
}

}  // namespace facet
