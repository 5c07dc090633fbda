// Mesh files: Wavefront OBJ, PLY (ASCII, binary little-endian and big-endian), OFF and STL
// (ASCII and binary) read into a Mesh whose vertex declaration carries what the file holds,
// both buffers in the managed pool, with 16-bit indices when the mesh has at most 65534
// vertices and faces and 32-bit indices otherwise. The declaration is, in this order and
// each only when the file has it: POSITION 0 FLOAT3 at offset 0, NORMAL 0 FLOAT3, COLOR 0
// (D3DCOLOR when the file's colours are 8-bit values, FLOAT4 r g b a when they are
// floats, so that either is kept bit for bit), TEXCOORD 0 FLOAT2 (u, v). A colour without
// alpha gets alpha 1 (255).
//
// What each format gives:
//   OBJ  "v x y z [r g b]" (float colours), "vt u [v [w]]" (w dropped), "vn x y z", and
//        per-corner indices "f v/vt/vn". See below for how corners that differ are kept.
//   PLY  vertex properties x y z, nx ny nz, u v (or s t, texture_u texture_v,
//        texture_s texture_t), red green blue [alpha] (or diffuse_red … diffuse_alpha) as
//        an integer type (0 to 255) or as float or double.
//   OFF  the prefixes of "[ST][C][N]OFF": a vertex line is x y z [nx ny nz] [colour] [s t];
//        the colour is 3 or 4 values (r g b [a]), read as 0 to 255 when every colour
//        word of the file is a whole number and as floats 0 to 1 otherwise.
//   STL  positions only.
//
// The mesh keeps the file's numbering: vertex i is the file's vertex i (OBJ's i+1), and
// faces come in file order, a polygon with n > 3 corners becoming n − 2 consecutive
// triangles. An OBJ corner names a position, a texture coordinate and a normal apart; a
// mesh vertex has one of each. So vertex i takes the texture coordinate and normal of the
// first corner (in file order) that uses position i, and every later corner that uses
// position i with another pair gets a copy of vertex i: copies are numbered after the
// file's vertices, in the order their first corners appear, and the corners with the same
// (v, vt, vn) share one copy (the summary counts the copies). A corner without vt or vn
// differs from one with them; a vertex without a texture coordinate or normal has zeros,
// and an OBJ vertex without a colour in a file whose other vertices have one is white.
// A polygon that is strictly convex in its own plane (the plane of its Newell
// normal) becomes the fan (c0, c1, c2), (c0, c2, c3), …; any other (concave, with
// collinear corners, or folded out of its plane so that its projection is not convex) is
// triangulated by ear clipping in that plane, so that its triangles cover exactly the
// polygon, keep its winding and make no sliver at a straight corner. A polygon that
// crosses itself (no triangles cover it exactly), one of more than 4096 corners, or one
// whose corners are all on one line stays the fan. Materials, groups, face colours,
// points and lines are skipped. In a file without faces no corner names a vertex's
// texture coordinate or normal: when the file has as many vt (or vn) as vertices, they
// are the vertices' in order (as a point cloud is written), and are dropped otherwise.
//
// STL lists separate triangles, each with its own three corners. Reading joins corners at
// equal positions into one vertex (exact equality of the three coordinates, where -0 and
// +0 are equal; the vertex keeps the bits of its first corner), numbering the vertices in
// the order their first corners appear, and keeps the file's triangle order; the summary
// says how many corners were joined. A file whose size is 84 + 50 × the triangle count at
// byte 80 is binary, whatever its header says (a binary header may well start with
// "solid"), and so is a file of several such bodies one after the other, the last ending
// at the file's end (read as one mesh, corners joined across them); any other is ASCII, one or more "solid … endsolid" blocks, keywords in any
// case. Facet normals (three words in ASCII, not taken as numbers: some writers put "nan"
// there) and binary STL's two attribute bytes are passed over: the mesh's normals are
// computed from its triangles when they are needed.
//
// A file that cannot be read as a mesh is refused with one line of text naming the file
// and where the fault lies ("FILE: line N: why" for text, "FILE: byte N: why" for binary
// data): empty or truncated input, bytes that do not parse, a NaN or infinite
// coordinate, normal, texture coordinate or colour, an integer colour above 255, a corner index out of range, a face with fewer than three corners, a count
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
//
// Meshes are written back in the same formats (OBJ, PLY as text or binary little-endian,
// OFF, STL as text or binary) in the mesh's own vertex numbering and face order; a file
// written and read again gives back the same positions and, for all but STL (whose
// corners are joined again on reading), the same numbering. What each format holds of
// the vertex data, written so that it reads back bit for bit:
//   OBJ  normals, texture coordinates, colours r g b as floats (8-bit colours as k/255,
//        which read back as floats that give k again); no alpha.
//   PLY  everything: float normals, "u v", colours as uchar (8-bit) or float, alpha only
//        when some vertex is not opaque.
//   OFF  everything, as "[ST][C][N]OFF": colours as 0 to 255 (8-bit) or floats, four
//        values when some vertex is not opaque.
//   STL  none of it (each face's normal is computed from its triangle).
#pragma once

#include "facet/mesh.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace facet {

class ThreadPool;

enum class MeshFileFormat { Obj, Ply, Off, Stl };
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
    DWORD joinedCorners = 0;  // STL: corners that became the vertex of an earlier corner at their position
    DWORD splitVertices = 0;  // OBJ: copies of vertices whose corners name other texture coordinates or normals
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
    // Threads to read with: a large file is then read in parts at once (text in chunks
    // cut at line ends, binary PLY records in parts, binary STL's triangles copied on one
    // thread while another joins their corners). The mesh, summary and refusal are the
    // same with or without a pool, whatever its size.
    ThreadPool* pool = nullptr;
};

// The format named by the path's extension (.obj, .ply, .off, .stl in any case); false for others.
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
// from the file's first bytes ("ply", an "OFF" line, "solid" or an OBJ statement). As
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

// A mesh's data as the writers take it, in the mesh's vertex and face numbering.
struct MeshFileData {
    std::vector<float> positions;  // three per vertex
    std::vector<float> normals;    // three per vertex, or empty
    std::vector<DWORD> corners;    // three per face
    std::vector<float> textureCoordinates;  // two per vertex (u, v), or empty
    std::vector<float> colors;              // four per vertex (r, g, b, a), or empty
    // The colours are 8-bit values, each stored as k / 255.0f: written as 0 to 255 where
    // the format has integers (the nearest whole number to value × 255 gives k back).
    bool colorBytes = false;

    std::size_t VertexCount() const { return positions.size() / 3; }
    std::size_t FaceCount() const { return corners.size() / 3; }
};

// As ReadMeshFile and ReadMeshDescriptor, but the file's data is handed over as it is
// (no device, no mesh): with `options.allowNoFaces`, a point cloud or a file of lines
// gives its vertices and no corners.
HRESULT ReadMeshFileData(const char* path, const MeshReadOptions& options, MeshFileData* data,
                         MeshFileSummary* summary, std::string* error);
HRESULT ReadMeshDescriptorData(int descriptor, const char* name, const MeshReadOptions& options,
                               MeshFileData* data, MeshFileSummary* summary, std::string* error);

struct MeshWriteOptions {
    MeshFileFormat format = MeshFileFormat::Obj;
    // PLY and STL: binary little-endian instead of text (OBJ and OFF are text only).
    bool binary = false;
    // WriteMeshFile: copy each vertex's normal too (the mesh must have one) for OBJ, PLY
    // and OFF. STL always holds each face's normal, computed from its triangle.
    bool normals = false;
    // The header's comment (OBJ, PLY), the text after "solid" (ASCII STL) or the first of
    // the 80 header bytes (binary STL, cut at 80; it must not start with "solid"). OFF has
    // no place for one.
    const char* comment = "written by facet";
};

// Copies the positions (FLOAT3 POSITION) of a mesh of either index width and, whenever
// the mesh has them, its normals (FLOAT3 NORMAL; `withNormals` requires them), texture
// coordinates (TEXCOORD 0: the first two of FLOAT1 … FLOAT4, v 0 for FLOAT1) and colours
// (COLOR 0: D3DCOLOR, which sets `colorBytes`, or FLOAT4). D3DERR_INVALIDCALL for null
// arguments or a mesh without the elements asked for; a failed lock's code.
HRESULT CopyMeshFileData(Mesh* mesh, bool withNormals, MeshFileData* out);

// What writing `data` in a format leaves out: per vertex, the normals, texture coordinates
// and colours the format has no place for, and the colours whose alpha (not 1) is lost;
// and the vertices in no face, which STL (triangles only) has no place for either (a
// point cloud written as STL keeps none of its points).
struct MeshFileLosses {
    std::size_t normals = 0;
    std::size_t textureCoordinates = 0;
    std::size_t colors = 0;
    std::size_t alphas = 0;
    std::size_t verticesOutsideFaces = 0;

    bool Any() const { return normals + textureCoordinates + colors + alphas + verticesOutsideFaces > 0; }
};
MeshFileLosses MeshFileLossesOf(const MeshFileData& data, MeshFileFormat format);

// Writes `data` to `file` in `options.format`, with the normals, texture coordinates and
// colours that `data` has and the format holds (see MeshFileLossesOf). Floats are written with nine significant digits, enough for
// every float to read back to the same value. False at the first failed write, errno
// saying why; nothing is written when the options ask for what the format cannot be
// (binary OBJ or OFF): then errno is EINVAL.
bool WriteMeshData(std::FILE* file, const MeshFileData& data, const MeshWriteOptions& options);

// Copies the mesh (its normals when `options.normals`) and writes it to the file at
// `path`, which is replaced. 0; D3DERR_INVALIDCALL for null arguments, a mesh without
// the elements asked for or options no format holds; E_FAIL with `*error` set
// ("PATH: cannot write: REASON") when the file cannot be written; E_OUTOFMEMORY.
HRESULT WriteMeshFile(Mesh* mesh, const char* path, const MeshWriteOptions& options, std::string* error);

}  // namespace facet
