// facet normals: reads a mesh file, welds its vertices by position and writes the mesh
// with vertex normals that are shared across seams, in the file's numbering.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "output_files.h"

#include "facet/mesh_file.h"
#include "facet/normals.h"

#include <cstdio>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet normals FILE [--weld EPS] -o OUT.ply|OUT.obj|OUT.stl [--binary]\n"
        "Reads an OBJ, PLY, OFF or STL mesh, computes each vertex's normal from the faces\n"
        "around its point (vertices at one position share it) and writes positions, normals\n"
        "and triangles to OUT in the file's vertex numbering. STL holds no vertex normals:\n"
        "it is written with each face's normal computed from its triangle.\n"
        "  --weld EPS     join vertices within EPS in each coordinate (default 0: equal positions)\n"
        "  -o OUT         the output, .ply, .obj or .stl (even for a device or pipe)\n"
        "  --binary       write PLY or STL as binary little-endian instead of text\n"
        "example: facet normals scan.off -o scan.ply\n",
        to);
}

}  // namespace

int RunNormalsCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    const int parsedExit = ParseFileCommand("normals", argc, argv,
                                            {{"--weld", true}, {"-o", true}, {"--binary", false}}, 1,
                                            "one mesh file", PrintUsage, &parsed);
    if (parsedExit >= 0) return parsedExit;
    const char* out = parsed.Value("-o");
    facet::MeshWriteOptions writing;
    writing.binary = parsed.Has("--binary");
    writing.normals = true;
    writing.comment = "normals written by facet";
    if (out == nullptr || !facet::MeshFileFormatOfPath(out, &writing.format) ||
        writing.format == facet::MeshFileFormat::Off) {
        std::fprintf(stderr, "facet normals: give the output as -o OUT.ply, -o OUT.obj or -o OUT.stl\n");
        return kExitRefused;
    }
    if (writing.binary && writing.format == facet::MeshFileFormat::Obj) {
        std::fprintf(stderr, "facet normals: --binary applies to PLY and STL output only\n");
        return kExitRefused;
    }
    float epsilon = 0.0f;
    if (!ParseWeldEpsilon("normals", parsed.Value("--weld"), &epsilon)) return kExitRefused;
    const char* path = parsed.positionals[0].c_str();
    if (!CheckOutputIsNotInput("normals", path, out)) return kExitRefused;
    CommandOutput output("normals");
    if (!output.Open(out)) return kExitRefused;

    CommandMesh input("normals");
    if (const int loadExit = input.Load(path); loadExit != 0) return loadExit;
    std::vector<DWORD> reps, adjacency;
    HRESULT result = WeldedAdjacency(input.mesh(), epsilon, &input.progress, &reps, &adjacency);
    input.progress.Step("normals");
    if (SUCCEEDED(result)) result = facet::ComputeVertexNormals(input.mesh(), adjacency.data());
    facet::MeshFileData exported;
    if (SUCCEEDED(result)) result = facet::CopyMeshFileData(input.mesh(), true, &exported);
    input.Release();
    input.progress.Finish();
    if (FAILED(result)) return ReportFailure("normals", "computing the normals", result);
    input.progress.Step("writing");
    const bool written =
        output.Write([&](std::FILE* to) { return facet::WriteMeshData(to, exported, writing); }) && output.Commit();
    input.progress.Finish();
    return written ? 0 : kExitRefused;
}
