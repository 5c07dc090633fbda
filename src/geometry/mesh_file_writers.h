// The writer of each mesh format, behind WriteMeshData. Each writes `data` to `file`,
// checks the stream after every row (binary ones after every block of records) and stops
// at the first failed write, while errno still says why.
#pragma once

#include "facet/mesh_file.h"
#include "geometry/mesh_file_contents.h"

#include <cstdio>
#include <cstring>

namespace facet {

inline bool StreamGood(std::FILE* file) { return std::ferror(file) == 0; }

// Binary records gathered and written a block at a time: a write and a stream check per
// record cost more than packing it. Append returns false at the first failed write, and
// Flush writes what is left.
class RecordBlocks {
public:
    explicit RecordBlocks(std::FILE* file) : file_(file) {}
    bool Append(const void* bytes, std::size_t count) {
        if (used_ + count > sizeof block_ && !Flush()) return false;
        std::memcpy(block_ + used_, bytes, count);
        used_ += count;
        return true;
    }
    bool Flush() {
        std::fwrite(block_, 1, used_, file_);
        used_ = 0;
        return StreamGood(file_);
    }

private:
    std::FILE* file_;
    std::size_t used_ = 0;
    unsigned char block_[std::size_t{1} << 16];
};

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
