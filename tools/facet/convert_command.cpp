// facet convert: reads a mesh in one of the three formats and writes it in another,
// keeping the vertex numbering and the (triangulated) face order.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "mesh_export.h"
#include "output_files.h"
#include "text_escapes.h"

#include <cstdio>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet convert IN OUT [--binary]\n"
        "Reads an OBJ, PLY or OFF mesh and writes its positions and triangles to OUT in the\n"
        "format its extension names (.obj, .ply or .off, even for a device or pipe).\n"
        "Polygons become the triangles of their fans; vertex numbering and face order stay\n"
        "the file's. A file name that starts with - follows --.\n"
        "  --binary       write PLY as binary little-endian instead of text\n"
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
    ExportFormat format = ExportFormat::Obj;
    if (!ExportFormatOfPath(out, binary, &format)) {
        std::fprintf(stderr, "facet convert: the output %s must end in .obj, .ply or .off, which names its format\n",
                     QuotedArgument(out).c_str());
        return kExitRefused;
    }
    if (binary && format != ExportFormat::PlyBinary) {
        std::fprintf(stderr, "facet convert: --binary applies to PLY output only\n");
        return kExitRefused;
    }
    if (!CheckOutputIsNotInput("convert", in, out)) return kExitRefused;
    CommandOutput output("convert");
    if (!output.Open(out)) return kExitRefused;

    CommandMesh input("convert");
    if (const int loadExit = input.Load(in); loadExit != 0) return loadExit;
    MeshExport exported;
    const HRESULT result = CopyMeshForExport(input.mesh(), false, &exported);
    input.Release();
    if (FAILED(result)) {
        input.progress.Finish();
        return ReportFailure("convert", "copying the mesh", result);
    }
    input.progress.Step("writing");
    const bool written =
        output.Write([&](std::FILE* to) { return WriteMeshExport(to, exported, format, "converted by facet"); }) &&
        output.Commit();
    input.progress.Finish();
    return written ? 0 : kExitRefused;
}
