// facet normals: reads a mesh file, welds its vertices by position and writes the mesh
// with vertex normals that are shared across seams, in the file's numbering, keeping its
// texture coordinates and colours.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "left_out_report.h"
#include "output_files.h"

#include "facet/mesh_file.h"
#include "facet/normals.h"
#include "springdrop/system/huge_page_memory.h"

#include <cstddef>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet normals FILE [--weld EPS] -o OUT.ply|OUT.obj|OUT.off|OUT.stl [--binary] [--threads N]\n"
        "Reads an OBJ, PLY, OFF or STL mesh, computes each vertex's normal from the faces\n"
        "around its point (vertices at one position share it, replacing any the file had)\n"
        "and writes positions, normals, the file's texture coordinates and colours, and\n"
        "triangles to OUT in the file's vertex numbering. STL holds no vertex data: it is\n"
        "written with each face's normal computed from its triangle, and one line on\n"
        "standard error says what was left out.\n"
        "  --weld EPS     join vertices within EPS in each coordinate (default 0: equal positions)\n"
        "  -o OUT         the output, .ply, .obj, .off or .stl (even for a device or pipe)\n"
        "  --binary       write PLY or STL as binary little-endian instead of text\n"
        "  --threads N    weld, find neighbours and walk around seams on N threads (default: all the\n"
        "                 processor's); the output is the same for every N\n"
        "example: facet normals scan.off -o scan.ply\n",
        to);
}

}  // namespace

int RunNormalsCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    const int parsedExit = ParseFileCommand("normals", argc, argv,
                                            {{"--weld", true}, {"-o", true}, {"--binary", false}, {"--threads", true}}, 1,
                                            "one mesh file", PrintUsage, &parsed);
    if (parsedExit >= 0) return parsedExit;
    const char* out = parsed.Value("-o");
    facet::MeshWriteOptions writing;
    writing.binary = parsed.Has("--binary");
    writing.normals = true;
    writing.comment = "normals written by facet";
    if (out == nullptr || !facet::MeshFileFormatOfPath(out, &writing.format)) {
        std::fprintf(stderr, "facet normals: give the output as -o OUT.ply, -o OUT.obj, -o OUT.off or -o OUT.stl\n");
        return kExitRefused;
    }
    if (writing.binary && writing.format != facet::MeshFileFormat::Ply &&
        writing.format != facet::MeshFileFormat::Stl) {
        std::fprintf(stderr, "facet normals: --binary applies to PLY and STL output only\n");
        return kExitRefused;
    }
    float epsilon = 0.0f;
    if (!ParseWeldEpsilon("normals", parsed.Value("--weld"), &epsilon)) return kExitRefused;
    unsigned threads = 1;
    if (!ParseThreadCount("normals", parsed.Value("--threads"), &threads)) return kExitRefused;
    const char* path = parsed.positionals[0].c_str();
    if (!CheckOutputIsNotInput("normals", path, out)) return kExitRefused;
    CommandOutput output("normals");
    if (!output.Open(out)) return kExitRefused;

    CommandMesh input("normals");
    facet::ThreadPool pool(threads);
    if (const int loadExit = input.Load(path, false, &pool); loadExit != 0) return loadExit;
    // The normals go straight into an array of their own, so the read mesh is neither
    // copied with a normal added nor has its normals copied out again.
    const std::size_t normalCount = std::size_t{3} * input.mesh()->VertexCount();
    std::vector<float> normals;
    platform::ReserveInHugePages(&normals, normalCount);
    normals.resize(normalCount);
    HRESULT result = facet::ComputeWeldedVertexNormals(input.mesh(), epsilon, &pool, normals.data(),
                                                       [&](const char* step) { input.progress.Step(step); });
    facet::MeshFileData exported;
    if (SUCCEEDED(result)) result = facet::CopyMeshFileData(input.mesh(), false, &exported);
    exported.normals = std::move(normals);
    input.Release();
    input.progress.Finish();
    if (FAILED(result)) return ReportFailure("normals", "computing the normals", result);
    input.progress.Step("writing");
    const bool written =
        output.Write([&](std::FILE* to) { return facet::WriteMeshData(to, exported, writing); }) && output.Commit();
    input.progress.Finish();
    if (written) ReportLeftOut(stderr, "normals", out, exported, writing.format);
    return written ? 0 : kExitRefused;
}
