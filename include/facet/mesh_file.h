// Mesh files: Wavefront OBJ, PLY (ASCII, binary little-endian and big-endian) and OFF read
// into a Mesh of position and normal per vertex (FVF 0x12, normals zero), both buffers in
// the managed pool, with 16-bit indices when the mesh has at most 65534 vertices and faces
// and 32-bit indices otherwise.
//
// The mesh keeps the file's numbering: vertex i is the file's vertex i (OBJ's i+1), and
// faces come in file order, a polygon with n > 3 corners becoming n − 2 consecutive
// triangles. A polygon that is strictly convex in its own plane (the plane of its Newell
// normal) becomes the fan (c0, c1, c2), (c0, c2, c3), …; any other (concave, with
// collinear corners, or folded out of its plane so that its projection is not convex) is
// triangulated by ear clipping in that plane, so that its triangles cover exactly the
// polygon, keep its winding and make no sliver at a straight corner. A polygon that
// crosses itself (no triangles cover it exactly), one of more than 4096 corners, or one
// whose corners are all on one line stays the fan. Only positions and faces are read; other
// vertex data, texture coordinates, normals, materials, groups, points and lines are
// skipped.
//
// A file that cannot be read as a mesh is refused with one line of text naming the file
// and where the fault lies ("FILE: line N: why" for text, "FILE: byte N: why" for binary
// data): empty or truncated input, bytes that do not parse, a NaN or infinite
// coordinate, a corner index out of range, a face with fewer than three corners, a count
// in a header that the rest of the file cannot hold, or, unless the options allow it, no
// faces at all. Nothing is ever
// allocated from a count that has not been checked against the bytes that follow it.
//
// Text is ASCII or UTF-8; a UTF-8 byte-order mark is passed over. An input's first bytes
// are judged before the rest is read, so an input of the wrong kind is refused at once
// however large: UTF-16 and UTF-32 text (with or without a byte-order mark), compressed
// data and NUL bytes are refused with a line naming what was found ("FILE: byte 0: the
// file is UTF-16 (little-endian) text, ..."), as is a PLY file whose first line is not
// "ply". Running out of memory anywhere in reading is E_OUTOFMEMORY.
#pragma once

#include "facet/mesh.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace facet {

enum class MeshFileFormat { Obj, Ply, Off };
enum class MeshFileEncoding { Text, BinaryLittleEndian, BinaryBigEndian };

// What a read found besides the mesh itself.
struct MeshFileSummary {
    MeshFileFormat format = MeshFileFormat::Obj;
    MeshFileEncoding encoding = MeshFileEncoding::Text;
    DWORD polygons = 0;       // faces as the file lists them
    DWORD splitPolygons = 0;  // of those, the ones with more than three corners
    // Of the split ones, those not strictly convex in their own plane: triangulated by
    // ear clipping instead of as a fan when they have at most 4096 corners.
    DWORD nonConvexPolygons = 0;
    DWORD vertices = 0;  // vertices the file defines, with or without faces
    float minimum[3] = {0.0f, 0.0f, 0.0f};  // the vertices' bounding box (zeros when there are none)
    float maximum[3] = {0.0f, 0.0f, 0.0f};
};

// Called now and then while reading with the bytes handled so far and the input's size.
using MeshReadProgress = void (*)(void* context, std::uint64_t bytesDone, std::uint64_t bytesTotal);

// The most bytes an input may hold unless the options say otherwise: 4 GiB, some 40
// million vertices and 80 million triangles in text, four times that in binary PLY, and
// what a pipe or device may put in memory before the mesh is built from it.
constexpr std::uint64_t kMaxMeshInputBytes = std::uint64_t{4} << 30;

struct MeshReadOptions {
    MeshReadProgress progress = nullptr;
    void* progressContext = nullptr;
    // A longer input is refused ("FILE: byte N: the input goes on past N bytes, ...")
    // without reading beyond that many bytes.
    std::uint64_t maxInputBytes = kMaxMeshInputBytes;
    // A file with no faces (a point cloud, or only lines) is refused ("the file holds no
    // faces") unless this is set; then it is read: 0 with `*meshOut` set to null (a mesh
    // has at least one face) and the summary counting and bounding its vertices.
    bool allowNoFaces = false;
};

// The format named by the path's extension (.obj, .ply, .off in any case); false for others.
bool MeshFileFormatOfPath(const char* path, MeshFileFormat* format);

// Reads `size` bytes of `format` as the file called `name` (used in the error text only).
// 0 with one reference in `*meshOut` and the summary filled; D3DERR_INVALIDCALL for null
// arguments or a refused file (then `*error` holds the line, without a newline),
// E_OUTOFMEMORY, or the device's code when the mesh cannot be created. `*meshOut` is
// written only on success.
HRESULT ReadMeshBytes(IDirect3DDevice9* device, const char* name, MeshFileFormat format, const void* bytes,
                      std::size_t size, const MeshReadOptions& options, Mesh** meshOut, MeshFileSummary* summary,
                      std::string* error);

// Reads the file at `path`, its format taken from the extension or, when that names none,
// from the file's first bytes ("ply", an "OFF" line or an OBJ statement). As
// ReadMeshBytes; E_FAIL with the error text ("FILE: cannot read: REASON") when the file
// cannot be opened or read; D3DERR_INVALIDCALL also for an input longer than
// `options.maxInputBytes`.
HRESULT ReadMeshFile(IDirect3DDevice9* device, const char* path, const MeshReadOptions& options, Mesh** meshOut,
                     MeshFileSummary* summary, std::string* error);

// As ReadMeshFile for an open descriptor, which is left open; `name` stands for the file
// in the error text and gives the format by its extension, if any. A regular file is
// mapped whole from its start; a pipe, terminal, socket or device is read to its end in
// chunks, its first chunk judged before more is read. This is how a program reads its
// standard input: the library gives no file name a meaning of its own (the facet program
// reads standard input for the path "-").
HRESULT ReadMeshDescriptor(IDirect3DDevice9* device, int descriptor, const char* name,
                           const MeshReadOptions& options, Mesh** meshOut, MeshFileSummary* summary,
                           std::string* error);

}  // namespace facet
