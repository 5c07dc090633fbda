// facet sphere: builds a sphere mesh on a headless software device, optionally recomputes
// its normals and its adjacency, and prints it as text or exports it as OBJ or PLY.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "headless_device.h"
#include "output_files.h"
#include "sphere_arguments.h"
#include "standard_output.h"
#include "text_escapes.h"

#include "springdrop/file/output_file.h"

#include "facet/mesh_file.h"
#include "facet/normals.h"
#include "facet/sphere.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet sphere [--radius R] [--slices S] [--stacks T] [--normals] [--adjacency]\n"
        "                    [--index32] [--obj FILE] [--ply FILE] [--list]\n"
        "  --radius R     sphere radius, a finite number above 0 (default 1)\n"
        "  --slices S     divisions around the z axis, 2 or more (default 8; above 240 counts as 240)\n"
        "  --stacks T     divisions from pole to pole, 2 or more (default 8; above 240 counts as 240)\n"
        "                 a sphere has 2*S*(T-1) faces; with 16-bit indices at most 65534, so\n"
        "                 for example 200 slices by 200 stacks (79600 faces) needs --index32\n"
        "  --index32      build the mesh with 32-bit indices (up to 240 x 240: 114720 faces)\n"
        "  --normals      recompute the normals from the faces\n"
        "  --adjacency    compute and print the face adjacency\n"
        "  --obj FILE     write positions, normals and faces as Wavefront OBJ to FILE.obj\n"
        "  --ply FILE     write positions, normals and faces as ASCII PLY to FILE.ply\n"
        "                 (a device or pipe, /dev/stdout for one, is written whatever its name)\n"
        "  --list         print the whole mesh even when exporting (without an export it\n"
        "                 is printed anyway; with one a one-line summary is printed)\n"
        "example: facet sphere --slices 3 --stacks 3 --normals --adjacency\n",
        to);
}

bool PrintMesh(std::FILE* out, const facet::MeshFileData& data, const std::vector<DWORD>& adjacency) {
    std::fprintf(out, "vertices %zu\nfaces %zu\n", data.VertexCount(), data.FaceCount());
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        const float* p = &data.positions[3 * v];
        const float* n = &data.normals[3 * v];
        std::fprintf(out, "vertex %zu position %.6g %.6g %.6g normal %.6g %.6g %.6g\n", v, p[0], p[1], p[2], n[0],
                     n[1], n[2]);
        if (!StreamGood(out)) return false;
    }
    for (std::size_t f = 0; f < data.FaceCount(); ++f) {
        std::fprintf(out, "face %zu %u %u %u\n", f, data.corners[3 * f], data.corners[3 * f + 1],
                     data.corners[3 * f + 2]);
        if (!StreamGood(out)) return false;
    }
    for (std::size_t f = 0; f < adjacency.size() / 3; ++f) {
        std::fprintf(out, "adjacency %zu", f);
        for (std::size_t k = 0; k < 3; ++k) {
            const DWORD entry = adjacency[3 * f + k];
            if (entry == facet::NoNeighbour)
                std::fputs(" none", out);
            else
                std::fprintf(out, " %u", entry);
        }
        std::fputc('\n', out);
        if (!StreamGood(out)) return false;
    }
    return true;
}

// One export of the sphere: the option that asked for it, its path and its format.
struct SphereExport {
    const char* option;
    const char* path;
    facet::MeshFileFormat format;
    const char* extension;
    CommandOutput output{"sphere"};
};

// Opens the export's path and checks that a file's name agrees with its format; false
// after one line.
bool OpenExport(SphereExport* exported) {
    if (!exported->output.Open(exported->path)) return false;
    facet::MeshFileFormat named = facet::MeshFileFormat::Obj;
    if (exported->output.InPlace() ||
        (facet::MeshFileFormatOfPath(exported->path, &named) && named == exported->format))
        return true;
    return RefuseSphere(std::string(exported->option) + " writes " + exported->extension +
                        " files, so its file name must end in " + exported->extension + ", not " +
                        QuotedArgument(exported->path));
}

}  // namespace

int RunSphereCommand(int argc, char** argv) {
    SphereOptions options;
    bool help = false;
    if (!ParseSphereArguments(argc, argv, &options, &help)) return kExitRefused;
    if (help) {
        PrintUsage(stdout);
        return 0;
    }
    // The outputs are opened, and their names checked, before any work.
    SphereExport exports[] = {{"--obj", options.objPath, facet::MeshFileFormat::Obj, ".obj"},
                              {"--ply", options.plyPath, facet::MeshFileFormat::Ply, ".ply"}};
    for (SphereExport& exported : exports)
        if (exported.path != nullptr && !OpenExport(&exported)) return kExitRefused;

    facet_tools::HeadlessDevice device;
    HRESULT result = device.Create();
    if (FAILED(result)) return ReportFailure("sphere", "creating the software device", result);

    facet::Mesh* mesh = nullptr;
    facet::ResultBuffer* adjacencyBuffer = nullptr;
    result = facet::CreateSphereMeshWithOptions(device.device(), options.radius, options.slices, options.stacks,
                                                options.index32 ? facet::MeshOptions::Indices32Bit : 0, &mesh,
                                                options.adjacency ? &adjacencyBuffer : nullptr);
    if (FAILED(result)) {
        if (adjacencyBuffer != nullptr) adjacencyBuffer->Release();
        return ReportFailure("sphere", "building the sphere", result);
    }
    std::vector<DWORD> adjacency;
    if (adjacencyBuffer != nullptr) {
        const auto* entries = static_cast<const DWORD*>(adjacencyBuffer->Data());
        adjacency.assign(entries, entries + adjacencyBuffer->Size() / sizeof(DWORD));
        adjacencyBuffer->Release();
    }
    if (options.normals) result = facet::ComputeVertexNormals(mesh, nullptr);
    facet::MeshFileData data;
    if (SUCCEEDED(result)) result = facet::CopyMeshFileData(mesh, true, &data);
    mesh->Release();
    if (FAILED(result))
        return ReportFailure("sphere", options.normals ? "computing the normals" : "copying the mesh", result);

    for (SphereExport& exported : exports)
        if (exported.path != nullptr &&
            !exported.output.Write([&](std::FILE* file) {
                facet::MeshWriteOptions writing;
                writing.format = exported.format;
                writing.comment = "sphere written by facet";
                return facet::WriteMeshData(file, data, writing);
            }))
            return kExitRefused;
    // Standard output is written and flushed before the files are kept, so a failure on
    // either side leaves no file behind.
    const bool exporting = options.objPath != nullptr || options.plyPath != nullptr;
    const bool printed = WriteStandardOutput("sphere", [&](std::FILE* out) {
        if (!exporting || options.list) return PrintMesh(out, data, adjacency);
        std::fputs("wrote", out);
        for (const SphereExport& exported : exports)
            if (exported.path != nullptr) std::fprintf(out, " %s", PrintableText(exported.path).c_str());
        std::fprintf(out, ": %zu vertices, %zu faces, %s indices\n", data.VertexCount(), data.FaceCount(),
                     options.index32 ? "32-bit" : "16-bit");
        return StreamGood(out);
    });
    if (!printed) return kExitRefused;
    for (SphereExport& exported : exports)
        if (exported.path != nullptr && !exported.output.Commit()) return kExitRefused;
    return 0;
}
