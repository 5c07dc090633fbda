// What the mesh file readers hand to the mesh builder: positions, the vertex data the file
// has, and triangle corners in the file's numbering, the polygons split into triangles,
// plus the refusal text of a file that cannot be read. Each reader fills one of these
// from a block of bytes.
#pragma once

#include "facet/mesh_file.h"
#include "geometry/mesh_input_bytes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace facet {

// A mesh's counts stay within 32-bit numbers, and its adjacency (three 32-bit entries
// per face) must stay addressable.
constexpr std::uint64_t kMaxFileVertices = 0xFFFFFFFEull;
constexpr std::uint64_t kMaxFileTriangles = 0xFFFFFFFFull / 3;

// A polygon of more than three corners, kept as its fan triangles until every position
// is known (a PLY file may list its faces before its vertices).
struct SplitPolygon {
    DWORD firstTriangle;
    DWORD cornerCount;
};

struct MeshFileContents {
    std::vector<float> positions;  // three per vertex
    std::vector<DWORD> corners;    // three per triangle
    // Per vertex as in MeshFileData, each empty when the file has none.
    std::vector<float> normals;
    std::vector<float> textureCoordinates;
    std::vector<float> colors;
    bool colorBytes = false;
    std::vector<SplitPolygon> splitPolygons;
    MeshFileSummary summary;
    // The input the bytes come from, when it is one (its mapped pages are let go as the
    // reader passes them); null for bytes the caller holds.
    const MeshInputBytes* input = nullptr;

    DWORD VertexCount() const { return static_cast<DWORD>(positions.size() / 3); }
};

// An 8-bit colour value stored as k / 255.0f back to k (clamped to 0 to 255).
inline DWORD ColorByte(float value) {
    return static_cast<DWORD>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

// Marks a reader's way through its input about every 1/64 of it: reports the progress
// through the caller's callback and lets go of the input's pages already read.
class ProgressTicker {
public:
    ProgressTicker(const MeshReadOptions& options, std::uint64_t total, const MeshInputBytes* input = nullptr)
        : progress_(options.progress), context_(options.progressContext), input_(input), total_(total),
          step_(total / 64 + 1), next_(step_) {}

    // For a chunk [begin, end) of the input read on a pool's thread: reports no progress,
    // and lets go of the chunk's own pages as the reading passes them.
    static ProgressTicker ForChunk(const MeshInputBytes* input, std::uint64_t begin, std::uint64_t end) {
        ProgressTicker chunk(MeshReadOptions{}, end - begin, input);
        chunk.chunkBegin_ = chunk.released_ = begin;
        chunk.next_ = begin + chunk.step_;
        return chunk;
    }

    void At(std::uint64_t done) {
        if (done < next_) return;
        if (progress_ != nullptr) progress_(context_, done, total_);
        if (input_ != nullptr) {
            if (chunkBegin_ == kWholeInput) {
                input_->ReleaseBefore(static_cast<std::size_t>(done));
            } else {
                input_->ReleaseRange(static_cast<std::size_t>(released_), static_cast<std::size_t>(done));
                released_ = done;
            }
        }
        next_ = done + step_;
    }

private:
    static constexpr std::uint64_t kWholeInput = UINT64_MAX;

    MeshReadProgress progress_;
    void* context_;
    const MeshInputBytes* input_;
    std::uint64_t total_;
    std::uint64_t step_;
    std::uint64_t next_;
    std::uint64_t chunkBegin_ = kWholeInput;
    std::uint64_t released_ = 0;
};

// Appends the fan triangles of a polygon whose `count` corners are `polygon` (count >= 3),
// noting a polygon of more than three corners for TriangulateSplitPolygons. False when
// the mesh would exceed the triangle limit.
bool AppendPolygon(const DWORD* polygon, std::size_t count, MeshFileContents* contents);

// Once every position is read: replaces the fan of each noted polygon that is not
// strictly convex in its own plane by its ear-clipping triangles, in the same places, and
// counts those polygons in the summary.
void TriangulateSplitPolygons(MeshFileContents* contents);

// Each reader returns false with `*error` set ("NAME: line N: why" or "NAME: byte N: why").
bool ReadObjContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error);
bool ReadPlyContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error);
bool ReadOffContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error);
bool ReadStlContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error);

// Binary PLY of vertices and faces alone whose records all take the bulk layouts (see
// ply_binary_records.h) can be read straight into a mesh's buffers. True, with the
// header's vertex and face counts, when the header says the file is laid out so.
bool PlyTriangleBufferCounts(const char* bytes, std::size_t size, const MeshReadOptions& options,
                             std::uint64_t* vertices, std::uint64_t* triangles);
// Reads such a file's positions (three per vertex) and corners (three per face, every
// face a triangle) into the given arrays, sized by PlyTriangleBufferCounts, and sets the
// summary's encoding and polygons. False when some record leaves the layout (a face that
// is not a triangle, a value the reader refuses, a short file): then the file is to be
// read by ReadPlyContents, which reads or refuses it as it is.
bool ReadPlyTriangleBuffers(const char* bytes, std::size_t size, const MeshReadOptions& options,
                            const MeshInputBytes* input, float* positions, DWORD* corners, MeshFileSummary* summary);

}  // namespace facet
