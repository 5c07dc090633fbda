// facet convert: reads a mesh in one of the four formats and writes it in another,
// keeping the vertex numbering and the (triangulated) face order.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "output_files.h"
#include "text_escapes.h"

#include "facet/mesh_file.h"

#include <cstdio>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet convert IN OUT [--binary]\n"
        "Reads an OBJ, PLY, OFF or STL mesh and writes its positions and triangles to OUT in\n"
        "the format its extension names (.obj, .ply, .off or .stl, even for a device or\n"
        "pipe). Polygons become the triangles of their fans; vertex numbering and face order\n"
        "stay the file's (STL's corners at one position become one vertex). STL is written\n"
        "with each face's normal computed from its triangle. A file name that starts with -\n"
        "follows --.\n"
        "  --binary       write PLY or STL as binary little-endian instead of text\n"
        "example: facet convert scan.off scan.ply --binary\n",
        to);
}

}  // namespace

int RunConvertCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    const int parsedExit = ParseFileCommand("convert", argc, argv, {{"--binary", false}}, 2,
                                            "an input and an output file", PrintUsage, &parsed);
    if (parsedExit >= 0) return parsedExit;
    const char* in = parsed.positionals[0].c_str();
    const char* out = parsed.positionals[1].c_str();
    const bool binary = parsed.Has("--binary");
    facet::MeshWriteOptions writing;
    writing.binary = binary;
    writing.comment = "converted by facet";
    if (!facet::MeshFileFormatOfPath(out, &writing.format)) {
        std::fprintf(stderr,
                     "facet convert: the output %s must end in .obj, .ply, .off or .stl, which names its format\n",
                     QuotedArgument(out).c_str());
        return kExitRefused;
    }
    if (binary && writing.format != facet::MeshFileFormat::Ply && writing.format != facet::MeshFileFormat::Stl) {
        std::fprintf(stderr, "facet convert: --binary applies to PLY and STL output only\n");
        return kExitRefused;
    }
    if (!CheckOutputIsNotInput("convert", in, out)) return kExitRefused;
    CommandOutput output("convert");
    if (!output.Open(out)) return kExitRefused;

    CommandMesh input("convert");
    if (const int loadExit = input.Load(in); loadExit != 0) return loadExit;
    facet::MeshFileData exported;
    const HRESULT result = facet::CopyMeshFileData(input.mesh(), false, &exported);
    input.Release();
    if (FAILED(result)) {
        input.progress.Finish();
        return ReportFailure("convert", "copying the mesh", result);
    }
    input.progress.Step("writing");
    const bool written =
        output.Write([&](std::FILE* to) { return facet::WriteMeshData(to, exported, writing); }) &&
        output.Commit();
    input.progress.Finish();
    return written ? 0 : kExitRefused;
}
