// facet normals: reads a mesh file, welds its vertices by position and writes the mesh
// with vertex normals that are shared across seams, in the file's numbering.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "headless_device.h"
#include "mesh_export.h"
#include "output_files.h"

#include "file/output_file.h"

#include "d3d9/instrumentation.h"
#include "facet/normals.h"

#include <cstdio>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet normals FILE [--weld EPS] -o OUT.ply|OUT.obj\n"
        "Reads an OBJ, PLY or OFF mesh, computes each vertex's normal from the faces around\n"
        "its point (vertices at one position share it) and writes positions, normals and\n"
        "triangles to OUT in the file's vertex numbering.\n"
        "  --weld EPS     join vertices within EPS in each coordinate (default 0: equal positions)\n"
        "  -o OUT         the output, .ply (text) or .obj\n"
        "example: facet normals scan.off -o scan.ply\n",
        to);
}

}  // namespace

int RunNormalsCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    if (!ParseCommandLine("normals", argc, argv, {{"--weld", true}, {"-o", true}}, &parsed)) return kExitRefused;
    if (parsed.help) {
        PrintUsage(stdout);
        return 0;
    }
    if (parsed.positionals.size() != 1) {
        std::fprintf(stderr, "facet normals: give one mesh file (try facet normals --help)\n");
        return kExitRefused;
    }
    const char* out = parsed.Value("-o");
    ExportFormat format = ExportFormat::Obj;
    if (out == nullptr || !ExportFormatOfPath(out, false, &format) || format == ExportFormat::Off) {
        std::fprintf(stderr, "facet normals: give the output as -o OUT.ply or -o OUT.obj\n");
        return kExitRefused;
    }
    float epsilon = 0.0f;
    if (!ParseWeldEpsilon("normals", parsed.Value("--weld"), &epsilon)) return kExitRefused;
    const char* path = parsed.positionals[0].c_str();
    if (platform::SameOutputTarget(path, out)) {
        std::fprintf(stderr, "facet normals: -o %s is the input file\n", QuotedArgument(out).c_str());
        return kExitRefused;
    }

    d3d9sw::SetCallLogging(false);
    facet_tools::HeadlessDevice device;
    HRESULT result = device.Create();
    if (FAILED(result)) return ReportFailure("normals", "creating the software device", result);
    ProgressBar progress("normals");
    facet::MeshFileSummary file;
    facet::Mesh* mesh = LoadMeshFile("normals", device.device(), path, &progress, &file);
    if (mesh == nullptr) return kExitRefused;
    std::vector<DWORD> reps, adjacency;
    result = WeldedAdjacency(mesh, epsilon, &progress, &reps, &adjacency);
    progress.Step("normals");
    if (SUCCEEDED(result)) result = facet::ComputeVertexNormals(mesh, adjacency.data());
    MeshExport exported;
    if (SUCCEEDED(result)) result = CopyMeshForExport(mesh, true, &exported);
    mesh->Release();
    progress.Finish();
    if (FAILED(result)) return ReportFailure("normals", "computing the normals", result);
    progress.Step("writing");
    const bool written = WriteOutputFile("normals", out, [&](std::FILE* to) {
        return WriteMeshExport(to, exported, format, "normals written by facet");
    });
    progress.Finish();
    return written ? 0 : kExitRefused;
}
