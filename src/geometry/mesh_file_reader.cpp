// ReadMeshFile and ReadMeshBytes: pick the reader, let it fill the file's contents, then
// build the mesh from them in the narrowest index width that holds it.
#include "facet/mesh_file.h"

#include "geometry/mesh_file_contents.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace facet {

namespace {

constexpr DWORD kFileMeshFormat = D3DFVF_XYZ | D3DFVF_NORMAL;
constexpr DWORD kLargest16BitCount = 0xFFFE;

template <typename Index>
void CopyCorners(const std::vector<DWORD>& corners, void* data) {
    std::copy(corners.begin(), corners.end(), static_cast<Index*>(data));
}

HRESULT BuildMesh(IDirect3DDevice9* device, const MeshFileContents& contents, Mesh** meshOut) {
    const DWORD vertices = contents.VertexCount();
    const DWORD faces = static_cast<DWORD>(contents.corners.size() / 3);
    const bool narrow = vertices <= kLargest16BitCount && faces <= kLargest16BitCount;
    const DWORD options = MeshOptions::Managed | (narrow ? 0 : MeshOptions::Indices32Bit);
    Mesh* mesh = nullptr;
    HRESULT result = CreateMeshFromFormat(faces, vertices, options, kFileMeshFormat, device, &mesh);
    if (FAILED(result)) return result;
    void* data = nullptr;
    result = mesh->LockVertices(0, &data);
    if (SUCCEEDED(result)) {
        auto* out = static_cast<float*>(data);
        for (DWORD v = 0; v < vertices; ++v, out += 6) std::memcpy(out, &contents.positions[3 * std::size_t{v}], 12);
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

bool EndsWith(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = text[text.size() - suffix.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != suffix[i]) return false;
    }
    return true;
}

bool FormatOfBytes(const char* bytes, std::size_t size, MeshFileFormat* format) {
    const std::string_view start(bytes, std::min<std::size_t>(size, 4));
    if (start == "ply\n" || start == "ply\r") {
        *format = MeshFileFormat::Ply;
        return true;
    }
    if (start.substr(0, 3) == "OFF") {
        *format = MeshFileFormat::Off;
        return true;
    }
    return false;
}

// The input of ReadMeshFile: the file mapped when it is a regular file, read otherwise.
class FileBytes {
public:
    ~FileBytes() {
        if (mapped_ != nullptr) munmap(mapped_, size_);
    }
    bool Load(const char* path, std::string* error) {
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Fail(path, error);
        struct stat status {};
        bool loaded = fstat(fd, &status) == 0;
        if (loaded && S_ISDIR(status.st_mode)) {
            errno = EISDIR;
            loaded = false;
        }
        if (loaded && S_ISREG(status.st_mode) && status.st_size > 0) {
            size_ = static_cast<std::size_t>(status.st_size);
            void* mapped = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
            loaded = mapped != MAP_FAILED;
            if (loaded) {
                mapped_ = mapped;
                madvise(mapped_, size_, MADV_SEQUENTIAL);
            }
        } else if (loaded) {
            loaded = ReadAll(fd);
        }
        const int saved = errno;
        close(fd);
        errno = saved;
        return loaded || Fail(path, error);
    }
    const char* data() const { return mapped_ != nullptr ? static_cast<const char*>(mapped_) : read_.data(); }
    std::size_t size() const { return mapped_ != nullptr ? size_ : read_.size(); }

private:
    bool ReadAll(int fd) {
        char block[65536];
        for (;;) {
            const ssize_t got = read(fd, block, sizeof block);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return false;
            if (got == 0) return true;
            read_.append(block, static_cast<std::size_t>(got));
        }
    }
    static bool Fail(const char* path, std::string* error) {
        *error = std::string(path) + ": cannot read: " + std::strerror(errno);
        return false;
    }

    void* mapped_ = nullptr;
    std::size_t size_ = 0;
    std::string read_;
};

}  // namespace

bool AppendPolygon(const DWORD* polygon, std::size_t count, MeshFileContents* contents) {
    if (contents->corners.size() / 3 + (count - 2) > kMaxFileTriangles) return false;
    for (std::size_t k = 1; k + 1 < count; ++k)
        contents->corners.insert(contents->corners.end(), {polygon[0], polygon[k], polygon[k + 1]});
    ++contents->summary.polygons;
    if (count > 3) ++contents->summary.splitPolygons;
    return true;
}

bool MeshFileFormatOfPath(const char* path, MeshFileFormat* format) {
    if (path == nullptr || format == nullptr) return false;
    const std::string_view text(path);
    if (EndsWith(text, ".obj")) *format = MeshFileFormat::Obj;
    else if (EndsWith(text, ".ply")) *format = MeshFileFormat::Ply;
    else if (EndsWith(text, ".off")) *format = MeshFileFormat::Off;
    else return false;
    return true;
}

HRESULT ReadMeshBytes(IDirect3DDevice9* device, const char* name, MeshFileFormat format, const void* bytes,
                      std::size_t size, const MeshReadOptions& options, Mesh** meshOut, MeshFileSummary* summary,
                      std::string* error) {
    if (device == nullptr || name == nullptr || (bytes == nullptr && size > 0) || meshOut == nullptr ||
        summary == nullptr || error == nullptr)
        return D3DERR_INVALIDCALL;
    const char* text = static_cast<const char*>(bytes);
    MeshFileContents contents;
    contents.summary.format = format;
    bool read = false;
    try {
        if (size == 0) {
            *error = std::string(name) + ": line 1: the file is empty";
        } else if (format == MeshFileFormat::Obj) {
            read = ReadObjContents(name, text, size, options, &contents, error);
        } else if (format == MeshFileFormat::Ply) {
            read = ReadPlyContents(name, text, size, options, &contents, error);
        } else {
            read = ReadOffContents(name, text, size, options, &contents, error);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!read) return D3DERR_INVALIDCALL;
    const HRESULT result = BuildMesh(device, contents, meshOut);
    if (SUCCEEDED(result)) *summary = contents.summary;
    return result;
}

HRESULT ReadMeshFile(IDirect3DDevice9* device, const char* path, const MeshReadOptions& options, Mesh** meshOut,
                     MeshFileSummary* summary, std::string* error) {
    if (device == nullptr || path == nullptr || meshOut == nullptr || summary == nullptr || error == nullptr)
        return D3DERR_INVALIDCALL;
    FileBytes file;
    if (!file.Load(path, error)) return E_FAIL;
    MeshFileFormat format;
    if (!MeshFileFormatOfPath(path, &format) && !FormatOfBytes(file.data(), file.size(), &format)) {
        *error = std::string(path) + ": line 1: not an OBJ, PLY or OFF file (name it .obj, .ply or .off)";
        return D3DERR_INVALIDCALL;
    }
    return ReadMeshBytes(device, path, format, file.data(), file.size(), options, meshOut, summary, error);
}

}  // namespace facet
