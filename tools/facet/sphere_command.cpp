// facet sphere: builds a sphere mesh on a headless software device, optionally recomputes
// its normals and its adjacency, prints it as text and exports it as OBJ or PLY.
#include "commands.h"
#include "headless_device.h"

#include "d3d9/instrumentation.h"
#include "facet/normals.h"
#include "facet/sphere.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRefused = 2;
constexpr int kFailed = 1;

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet sphere [--radius R] [--slices S] [--stacks T] [--normals] [--adjacency]\n"
        "                    [--obj FILE | --ply FILE]\n"
        "  --radius R     sphere radius (default 1)\n"
        "  --slices S     divisions around the z axis, 2 or more (default 8; above 240 counts as 240)\n"
        "  --stacks T     divisions from pole to pole, 2 or more (default 8; above 240 counts as 240)\n"
        "  --normals      recompute the normals from the faces\n"
        "  --adjacency    compute and print the face adjacency\n"
        "  --obj FILE     write positions, normals and faces as Wavefront OBJ\n"
        "  --ply FILE     write positions, normals and faces as ASCII PLY\n"
        "example: facet sphere --slices 3 --stacks 3 --normals --adjacency\n",
        to);
}

struct SphereOptions {
    float radius = FLT_MAX;  // the library's default selectors
    UINT slices = 0xFFFFFFFF;
    UINT stacks = 0xFFFFFFFF;
    bool normals = false;
    bool adjacency = false;
    const char* objPath = nullptr;
    const char* plyPath = nullptr;
};

bool ParseFloat(const char* text, float* value) {
    char* end = nullptr;
    errno = 0;
    const float parsed = std::strtof(text, &end);
    // An infinite radius would give NaN positions, so only finite numbers pass.
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

bool ParseCount(const char* text, UINT* value) {
    if (text[0] == '-' || text[0] == '+') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 0);
    if (end == text || *end != '\0' || errno == ERANGE || parsed > 0xFFFFFFFFull) return false;
    *value = static_cast<UINT>(parsed);
    return true;
}

// Fills `options`; false after printing one line about the first refused argument.
bool ParseArguments(int argc, char** argv, SphereOptions* options, bool* help) {
    for (int i = 0; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            *help = true;
            return true;
        }
        if (name == "--normals") {
            options->normals = true;
            continue;
        }
        if (name == "--adjacency") {
            options->adjacency = true;
            continue;
        }
        const bool takesValue = name == "--radius" || name == "--slices" || name == "--stacks" ||
                                name == "--obj" || name == "--ply";
        if (!takesValue) {
            std::fprintf(stderr, "facet sphere: unknown option '%s' (try facet sphere --help)\n", argv[i]);
            return false;
        }
        if (i + 1 == argc) {
            std::fprintf(stderr, "facet sphere: %s needs a value\n", argv[i]);
            return false;
        }
        const char* value = argv[++i];
        bool valid = true;
        if (name == "--radius") valid = ParseFloat(value, &options->radius);
        if (name == "--slices") valid = ParseCount(value, &options->slices);
        if (name == "--stacks") valid = ParseCount(value, &options->stacks);
        if (name == "--obj") options->objPath = value;
        if (name == "--ply") options->plyPath = value;
        if (!valid) {
            std::fprintf(stderr, "facet sphere: %s needs a %s, not '%s'\n", name.c_str(),
                         name == "--radius" ? "finite number" : "whole number from 0 to 4294967295", value);
            return false;
        }
    }
    if (options->objPath != nullptr && options->plyPath != nullptr) {
        std::fprintf(stderr, "facet sphere: give --obj or --ply, not both\n");
        return false;
    }
    return true;
}

const char* ResultName(HRESULT result) {
    switch (result) {
        case D3DERR_INVALIDCALL: return "D3DERR_INVALIDCALL";
        case D3DERR_OUTOFVIDEOMEMORY: return "D3DERR_OUTOFVIDEOMEMORY";
        case D3DERR_NOTAVAILABLE: return "D3DERR_NOTAVAILABLE";
        case D3DERR_DEVICELOST: return "D3DERR_DEVICELOST";
        case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
        case E_FAIL: return "E_FAIL";
        default: return "an unexpected result";
    }
}

int ReportFailure(const char* step, HRESULT result) {
    std::fprintf(stderr, "facet sphere: %s failed: %s (0x%08X)\n", step, ResultName(result),
                 static_cast<unsigned>(result));
    return result == D3DERR_INVALIDCALL ? kRefused : kFailed;
}

struct SphereData {
    std::vector<float> vertices;  // position and normal, six floats per vertex
    std::vector<DWORD> faces;     // three indices per face
    std::vector<DWORD> adjacency;  // three entries per face, when computed
};

HRESULT ReadMesh(facet::Mesh* mesh, SphereData* data) {
    void* vertices = nullptr;
    HRESULT result = mesh->LockVertices(D3DLOCK_READONLY, &vertices);
    if (FAILED(result)) return result;
    const auto* floats = static_cast<const float*>(vertices);
    data->vertices.assign(floats, floats + 6 * std::size_t{mesh->VertexCount()});
    mesh->UnlockVertices();
    void* indices = nullptr;
    result = mesh->LockIndices(D3DLOCK_READONLY, &indices);
    if (FAILED(result)) return result;
    const auto* words = static_cast<const WORD*>(indices);
    data->faces.assign(words, words + 3 * std::size_t{mesh->FaceCount()});
    mesh->UnlockIndices();
    return D3D_OK;
}

void PrintMesh(const SphereData& data) {
    const std::size_t vertexCount = data.vertices.size() / 6;
    const std::size_t faceCount = data.faces.size() / 3;
    std::printf("vertices %zu\nfaces %zu\n", vertexCount, faceCount);
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const float* p = &data.vertices[6 * v];
        std::printf("vertex %zu position %.6g %.6g %.6g normal %.6g %.6g %.6g\n", v, p[0], p[1], p[2], p[3], p[4],
                    p[5]);
    }
    for (std::size_t f = 0; f < faceCount; ++f)
        std::printf("face %zu %u %u %u\n", f, data.faces[3 * f], data.faces[3 * f + 1], data.faces[3 * f + 2]);
    for (std::size_t f = 0; f < data.adjacency.size() / 3; ++f) {
        std::printf("adjacency %zu", f);
        for (std::size_t k = 0; k < 3; ++k) {
            const DWORD entry = data.adjacency[3 * f + k];
            if (entry == facet::NoNeighbour)
                std::printf(" none");
            else
                std::printf(" %u", entry);
        }
        std::printf("\n");
    }
}

void WriteObj(std::FILE* file, const SphereData& data) {
    std::fprintf(file, "# sphere written by facet\n");
    for (std::size_t v = 0; v < data.vertices.size() / 6; ++v)
        std::fprintf(file, "v %.9g %.9g %.9g\n", data.vertices[6 * v], data.vertices[6 * v + 1],
                     data.vertices[6 * v + 2]);
    for (std::size_t v = 0; v < data.vertices.size() / 6; ++v)
        std::fprintf(file, "vn %.9g %.9g %.9g\n", data.vertices[6 * v + 3], data.vertices[6 * v + 4],
                     data.vertices[6 * v + 5]);
    for (std::size_t f = 0; f < data.faces.size() / 3; ++f) {
        const DWORD a = data.faces[3 * f] + 1, b = data.faces[3 * f + 1] + 1, c = data.faces[3 * f + 2] + 1;
        std::fprintf(file, "f %u//%u %u//%u %u//%u\n", a, a, b, b, c, c);
    }
}

void WritePly(std::FILE* file, const SphereData& data) {
    std::fprintf(file,
                 "ply\nformat ascii 1.0\ncomment sphere written by facet\n"
                 "element vertex %zu\nproperty float x\nproperty float y\nproperty float z\n"
                 "property float nx\nproperty float ny\nproperty float nz\n"
                 "element face %zu\nproperty list uchar int vertex_indices\nend_header\n",
                 data.vertices.size() / 6, data.faces.size() / 3);
    for (std::size_t v = 0; v < data.vertices.size() / 6; ++v) {
        const float* p = &data.vertices[6 * v];
        std::fprintf(file, "%.9g %.9g %.9g %.9g %.9g %.9g\n", p[0], p[1], p[2], p[3], p[4], p[5]);
    }
    for (std::size_t f = 0; f < data.faces.size() / 3; ++f)
        std::fprintf(file, "3 %u %u %u\n", data.faces[3 * f], data.faces[3 * f + 1], data.faces[3 * f + 2]);
}

// Writes through a temporary file renamed into place, so a failed export leaves nothing.
bool Export(const char* path, const SphereData& data, void (*write)(std::FILE*, const SphereData&)) {
    const std::string temporary = std::string(path) + ".partial";
    std::FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr) {
        std::fprintf(stderr, "facet sphere: cannot write '%s': %s\n", path, std::strerror(errno));
        return false;
    }
    write(file, data);
    const bool written = std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path) != 0) {
        std::fprintf(stderr, "facet sphere: cannot write '%s': %s\n", path, std::strerror(errno));
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

int RunSphereCommand(int argc, char** argv) {
    SphereOptions options;
    bool help = false;
    if (!ParseArguments(argc, argv, &options, &help)) return kRefused;
    if (help) {
        PrintUsage(stdout);
        return 0;
    }

    d3d9sw::SetCallLogging(false);
    facet_tools::HeadlessDevice device;
    HRESULT result = device.Create();
    if (FAILED(result)) return ReportFailure("creating the software device", result);

    facet::Mesh* mesh = nullptr;
    facet::ResultBuffer* adjacency = nullptr;
    result = facet::CreateSphereMesh(device.device(), options.radius, options.slices, options.stacks, &mesh,
                                     options.adjacency ? &adjacency : nullptr);
    if (FAILED(result)) {
        if (adjacency != nullptr) adjacency->Release();
        return ReportFailure("CreateSphereMesh", result);
    }
    SphereData data;
    if (adjacency != nullptr) {
        const auto* entries = static_cast<const DWORD*>(adjacency->Data());
        data.adjacency.assign(entries, entries + adjacency->Size() / sizeof(DWORD));
        adjacency->Release();
    }
    if (options.normals) result = facet::ComputeVertexNormals(mesh, nullptr);
    if (SUCCEEDED(result)) result = ReadMesh(mesh, &data);
    mesh->Release();
    if (FAILED(result)) return ReportFailure(options.normals ? "ComputeVertexNormals" : "reading the mesh", result);

    PrintMesh(data);
    if (options.objPath != nullptr && !Export(options.objPath, data, WriteObj)) return kRefused;
    if (options.plyPath != nullptr && !Export(options.plyPath, data, WritePly)) return kRefused;
    return 0;
}
