// ReadMeshFile, ReadMeshDescriptor and ReadMeshBytes (and the ...Data forms): judge the
// input's first bytes, pick the reader, let it fill the file's contents, triangulate the
// polygons that are not convex, measure the vertices, then build the mesh from them in
// the narrowest index width that holds it, its declaration carrying the file's vertex
// data (or hand the contents over as they are). Running out of memory anywhere on the way is
// E_OUTOFMEMORY, never an exception.
#include "facet/mesh_file.h"

#include "geometry/mesh_file_contents.h"
#include "geometry/mesh_input_bytes.h"
#include "geometry/mesh_input_start.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace facet {

namespace {

constexpr DWORD kLargest16BitCount = 0xFFFE;

template <typename Index>
void CopyCorners(const std::vector<DWORD>& corners, void* data) {
    std::copy(corners.begin(), corners.end(), static_cast<Index*>(data));
}

D3DVERTEXELEMENT9 Element(WORD offset, BYTE type, BYTE usage) {
    return D3DVERTEXELEMENT9{0, offset, type, D3DDECLMETHOD_DEFAULT, usage, 0};
}

// Position, then what the file has of normal, colour and texture coordinate, in the
// order an FVF code lists them.
void FileDeclaration(const MeshFileContents& contents, D3DVERTEXELEMENT9* declaration) {
    WORD offset = 0;
    *declaration++ = Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION);
    offset += 12;
    if (!contents.normals.empty()) {
        *declaration++ = Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL);
        offset += 12;
    }
    if (!contents.colors.empty()) {
        *declaration++ = Element(offset, contents.colorBytes ? D3DDECLTYPE_D3DCOLOR : D3DDECLTYPE_FLOAT4,
                                 D3DDECLUSAGE_COLOR);
        offset += contents.colorBytes ? 4 : 16;
    }
    if (!contents.textureCoordinates.empty())
        *declaration++ = Element(offset, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD);
    *declaration = D3DVERTEXELEMENT9 D3DDECL_END();
}

// Writes vertex `v` of `contents` at `out` in the layout of FileDeclaration.
void PackVertex(const MeshFileContents& contents, std::size_t v, unsigned char* out) {
    std::memcpy(out, &contents.positions[3 * v], 12);
    out += 12;
    if (!contents.normals.empty()) {
        std::memcpy(out, &contents.normals[3 * v], 12);
        out += 12;
    }
    if (!contents.colors.empty()) {
        const float* color = &contents.colors[4 * v];
        if (contents.colorBytes) {
            const DWORD packed = ColorByte(color[3]) << 24 | ColorByte(color[0]) << 16 | ColorByte(color[1]) << 8 |
                                 ColorByte(color[2]);
            std::memcpy(out, &packed, 4);
            out += 4;
        } else {
            std::memcpy(out, color, 16);
            out += 16;
        }
    }
    if (!contents.textureCoordinates.empty()) std::memcpy(out, &contents.textureCoordinates[2 * v], 8);
}

HRESULT BuildMesh(IDirect3DDevice9* device, const MeshFileContents& contents, Mesh** meshOut) {
    const DWORD vertices = contents.VertexCount();
    const DWORD faces = static_cast<DWORD>(contents.corners.size() / 3);
    const bool narrow = vertices <= kLargest16BitCount && faces <= kLargest16BitCount;
    const DWORD options = MeshOptions::Managed | (narrow ? 0 : MeshOptions::Indices32Bit);
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    FileDeclaration(contents, declaration);
    Mesh* mesh = nullptr;
    HRESULT result = CreateMeshFromDeclaration(faces, vertices, options, declaration, device, &mesh);
    if (FAILED(result)) return result;
    const std::size_t stride = mesh->VertexStride();
    void* data = nullptr;
    result = mesh->LockVertices(0, &data);
    if (SUCCEEDED(result)) {
        auto* out = static_cast<unsigned char*>(data);
        for (std::size_t v = 0; v < vertices; ++v) PackVertex(contents, v, out + v * stride);
        mesh->UnlockVertices();
        result = mesh->LockIndices(0, &data);
    }
    if (FAILED(result)) {
        mesh->Release();
        return result;
    }
    if (narrow)
        CopyCorners<WORD>(contents.corners, data);
    else
        CopyCorners<DWORD>(contents.corners, data);
    mesh->UnlockIndices();
    *meshOut = mesh;
    return D3D_OK;
}

// The bounding box, as a scan in vertex order keeping each axis's first smallest and
// largest value would find it. The scan runs over four vertices (twelve values) at a time,
// so it keeps twelve lanes whose axes repeat x y z; a tie between lanes matters only for
// -0 and +0, so an axis whose bound is zero takes the first zero of that axis instead.
void MeasureVertices(const float* positions, DWORD vertices, MeshFileSummary* summary) {
    summary->vertices = vertices;
    if (vertices == 0) return;
    constexpr std::size_t kLanes = 12;
    float low[kLanes], high[kLanes];
    for (std::size_t k = 0; k < kLanes; ++k) low[k] = high[k] = positions[k % 3];
    const std::size_t values = 3 * std::size_t{vertices};
    std::size_t at = 0;
    for (; at + kLanes <= values; at += kLanes)
        for (std::size_t k = 0; k < kLanes; ++k) {
            const float value = positions[at + k];
            low[k] = value < low[k] ? value : low[k];
            high[k] = value > high[k] ? value : high[k];
        }
    for (; at < values; ++at) {
        const float value = positions[at];
        low[at % 3] = value < low[at % 3] ? value : low[at % 3];
        high[at % 3] = value > high[at % 3] ? value : high[at % 3];
    }
    for (int axis = 0; axis < 3; ++axis) {
        float minimum = low[axis], maximum = high[axis];
        for (std::size_t k = axis; k < kLanes; k += 3) {
            minimum = std::min(minimum, low[k]);
            maximum = std::max(maximum, high[k]);
        }
        const auto firstZero = [&] {
            std::size_t v = 0;
            while (positions[3 * v + axis] != 0.0f) ++v;
            return positions[3 * v + axis];
        };
        summary->minimum[axis] = minimum == 0.0f ? firstZero() : minimum;
        summary->maximum[axis] = maximum == 0.0f ? firstZero() : maximum;
    }
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = text[text.size() - suffix.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != suffix[i]) return false;
    }
    return true;
}

}  // namespace

bool MeshFileFormatOfPath(const char* path, MeshFileFormat* format) {
    if (path == nullptr || format == nullptr) return false;
    const std::string_view text(path);
    if (EndsWith(text, ".obj")) *format = MeshFileFormat::Obj;
    else if (EndsWith(text, ".ply")) *format = MeshFileFormat::Ply;
    else if (EndsWith(text, ".off")) *format = MeshFileFormat::Off;
    else if (EndsWith(text, ".stl")) *format = MeshFileFormat::Stl;
    else return false;
    return true;
}

namespace {

// Reads bytes whose first ones were judged already into `contents`, its polygons
// triangulated and its vertices measured.
bool ReadJudgedContents(const char* name, MeshFileFormat format, const char* text, std::size_t size,
                        const MeshReadOptions& options, MeshFileContents* contents, std::string* error) {
    contents->summary.format = format;
    bool read = false;
    if (size == 0) {
        *error = std::string(name) + ": line 1: the file is empty";
    } else if (format == MeshFileFormat::Obj) {
        read = ReadObjContents(name, text, size, options, contents, error);
    } else if (format == MeshFileFormat::Ply) {
        read = ReadPlyContents(name, text, size, options, contents, error);
    } else if (format == MeshFileFormat::Off) {
        read = ReadOffContents(name, text, size, options, contents, error);
    } else {
        read = ReadStlContents(name, text, size, options, contents, error);
    }
    if (!read) return false;
    TriangulateSplitPolygons(contents);
    MeasureVertices(contents->positions.data(), contents->VertexCount(), &contents->summary);
    return true;
}

// Reads a binary PLY file of the bulk layouts straight into a new mesh's buffers, so the
// mesh's data is never held twice. False, with nothing made, for any other file (also
// for one whose few vertices take 16-bit indices) or one that leaves the layout part way:
// the general reading then reads or refuses it.
bool ReadIntoMeshBuffers(IDirect3DDevice9* device, MeshFileFormat format, const char* text, std::size_t size,
                         const MeshReadOptions& options, const MeshInputBytes* input, Mesh** meshOut,
                         MeshFileSummary* summary) {
    std::uint64_t vertices = 0, triangles = 0;
    if (format != MeshFileFormat::Ply || !PlyTriangleBufferCounts(text, size, options, &vertices, &triangles) ||
        (vertices <= kLargest16BitCount && triangles <= kLargest16BitCount))
        return false;
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    FileDeclaration(MeshFileContents{}, declaration);
    Mesh* mesh = nullptr;
    if (FAILED(CreateMeshFromDeclaration(static_cast<DWORD>(triangles), static_cast<DWORD>(vertices),
                                         MeshOptions::Managed | MeshOptions::Indices32Bit, declaration, device, &mesh)))
        return false;
    void* positions = nullptr;
    void* corners = nullptr;
    MeshFileSummary read;
    read.format = format;
    bool done = false;
    if (SUCCEEDED(mesh->LockVertices(0, &positions))) {
        if (SUCCEEDED(mesh->LockIndices(0, &corners))) {
            done = ReadPlyTriangleBuffers(text, size, options, input, static_cast<float*>(positions),
                                          static_cast<DWORD*>(corners), &read);
            mesh->UnlockIndices();
        }
        if (done) MeasureVertices(static_cast<const float*>(positions), static_cast<DWORD>(vertices), &read);
        mesh->UnlockVertices();
    }
    if (!done) {
        mesh->Release();
        return false;
    }
    *meshOut = mesh;
    *summary = read;
    return true;
}

HRESULT ReadJudgedBytes(IDirect3DDevice9* device, const char* name, MeshFileFormat format, const char* text,
                        std::size_t size, const MeshReadOptions& options, const MeshInputBytes* input, Mesh** meshOut,
                        MeshFileSummary* summary, std::string* error) {
    if (ReadIntoMeshBuffers(device, format, text, size, options, input, meshOut, summary)) return D3D_OK;
    MeshFileContents contents;
    contents.input = input;
    if (!ReadJudgedContents(name, format, text, size, options, &contents, error)) return D3DERR_INVALIDCALL;
    if (contents.corners.empty()) {
        // Only a caller that allowed a file without faces gets here (the readers refuse
        // one otherwise), and a mesh cannot be built without faces.
        *meshOut = nullptr;
        *summary = contents.summary;
        return D3D_OK;
    }
    const HRESULT result = BuildMesh(device, contents, meshOut);
    if (SUCCEEDED(result)) *summary = contents.summary;
    return result;
}

HRESULT ReadJudgedData(const char* name, MeshFileFormat format, const char* text, std::size_t size,
                       const MeshReadOptions& options, const MeshInputBytes* input, MeshFileData* data,
                       MeshFileSummary* summary, std::string* error) {
    MeshFileContents contents;
    contents.input = input;
    if (!ReadJudgedContents(name, format, text, size, options, &contents, error)) return D3DERR_INVALIDCALL;
    data->positions = std::move(contents.positions);
    data->normals = std::move(contents.normals);
    data->corners = std::move(contents.corners);
    data->textureCoordinates = std::move(contents.textureCoordinates);
    data->colors = std::move(contents.colors);
    data->colorBytes = contents.colorBytes;
    *summary = contents.summary;
    return D3D_OK;
}

HRESULT OutOfMemory(std::string* error) {
    error->clear();
    return E_OUTOFMEMORY;
}

}  // namespace

HRESULT ReadMeshBytes(IDirect3DDevice9* device, const char* name, MeshFileFormat format, const void* bytes,
                      std::size_t size, const MeshReadOptions& options, Mesh** meshOut, MeshFileSummary* summary,
                      std::string* error) {
    if (device == nullptr || name == nullptr || (bytes == nullptr && size > 0) || meshOut == nullptr ||
        summary == nullptr || error == nullptr)
        return D3DERR_INVALIDCALL;
    const char* text = static_cast<const char*>(bytes);
    try {
        if (!JudgeMeshInputStart(name, text, size, true, &format, error)) return D3DERR_INVALIDCALL;
        return ReadJudgedBytes(device, name, format, text, size, options, nullptr, meshOut, summary, error);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(error);
    }
}

namespace {

// Loads the input of `descriptor`, judging its first bytes, and hands the bytes, their
// format and the loaded input to `read`.
template <typename Read>
HRESULT ReadLoadedDescriptor(int descriptor, const char* name, const MeshReadOptions& options, std::string* error,
                             const Read& read) {
    try {
        MeshFileFormat format = MeshFileFormat::Obj;
        const bool named = MeshFileFormatOfPath(name, &format);
        MeshInputBytes input;
        const HRESULT loaded = input.Load(
            descriptor, name, options.maxInputBytes,
            [&](const char* start, std::size_t size, std::string* refusal) {
                return JudgeMeshInputStart(name, start, size, named, &format, refusal);
            },
            error);
        if (loaded != S_OK) return loaded;
        return read(format, input);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(error);
    }
}

// Opens `path` and hands its descriptor to `read`.
template <typename Read>
HRESULT ReadOpenedFile(const char* path, std::string* error, const Read& read) {
    const int descriptor = open(path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        try {
            *error = std::string(path) + ": cannot read: " + std::strerror(errno);
        } catch (const std::bad_alloc&) {
            return OutOfMemory(error);
        }
        return E_FAIL;
    }
    const HRESULT result = read(descriptor);
    close(descriptor);
    return result;
}

}  // namespace

HRESULT ReadMeshDescriptor(IDirect3DDevice9* device, int descriptor, const char* name,
                           const MeshReadOptions& options, Mesh** meshOut, MeshFileSummary* summary,
                           std::string* error) {
    if (device == nullptr || descriptor < 0 || name == nullptr || meshOut == nullptr || summary == nullptr ||
        error == nullptr)
        return D3DERR_INVALIDCALL;
    return ReadLoadedDescriptor(descriptor, name, options, error,
                                [&](MeshFileFormat format, const MeshInputBytes& input) {
                                    return ReadJudgedBytes(device, name, format, input.data(), input.size(), options,
                                                           &input, meshOut, summary, error);
                                });
}

HRESULT ReadMeshFile(IDirect3DDevice9* device, const char* path, const MeshReadOptions& options, Mesh** meshOut,
                     MeshFileSummary* summary, std::string* error) {
    if (device == nullptr || path == nullptr || meshOut == nullptr || summary == nullptr || error == nullptr)
        return D3DERR_INVALIDCALL;
    return ReadOpenedFile(path, error, [&](int descriptor) {
        return ReadMeshDescriptor(device, descriptor, path, options, meshOut, summary, error);
    });
}

HRESULT ReadMeshDescriptorData(int descriptor, const char* name, const MeshReadOptions& options, MeshFileData* data,
                               MeshFileSummary* summary, std::string* error) {
    if (descriptor < 0 || name == nullptr || data == nullptr || summary == nullptr || error == nullptr)
        return D3DERR_INVALIDCALL;
    return ReadLoadedDescriptor(descriptor, name, options, error,
                                [&](MeshFileFormat format, const MeshInputBytes& input) {
                                    return ReadJudgedData(name, format, input.data(), input.size(), options, &input,
                                                          data, summary, error);
                                });
}

HRESULT ReadMeshFileData(const char* path, const MeshReadOptions& options, MeshFileData* data,
                         MeshFileSummary* summary, std::string* error) {
    if (path == nullptr || data == nullptr || summary == nullptr || error == nullptr) return D3DERR_INVALIDCALL;
    return ReadOpenedFile(path, error, [&](int descriptor) {
        return ReadMeshDescriptorData(descriptor, path, options, data, summary, error);
    });
}

}  // namespace facet
