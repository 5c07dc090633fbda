// facet convert: reads a mesh in one of the three formats and writes it in another,
// keeping the vertex numbering and the (triangulated) face order.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "headless_device.h"
#include "mesh_export.h"
#include "output_files.h"

#include "file/output_file.h"

#include "d3d9/instrumentation.h"

#include <cstdio>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet convert IN OUT [--binary]\n"
        "Reads an OBJ, PLY or OFF mesh and writes its positions and triangles to OUT in the\n"
        "format its extension names (.obj, .ply or .off). Polygons become the triangles of\n"
        "their fans; vertex numbering and face order stay the file's.\n"
        "  --binary       write PLY as binary little-endian instead of text\n"
        "example: facet convert scan.off scan.ply --binary\n",
        to);
}

}  // namespace

int RunConvertCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    if (!ParseCommandLine("convert", argc, argv, {{"--binary", false}}, &parsed)) return kExitRefused;
    if (parsed.help) {
        PrintUsage(stdout);
        return 0;
    }
    if (parsed.positionals.size() != 2) {
        std::fprintf(stderr, "facet convert: give an input and an output file (try facet convert --help)\n");
        return kExitRefused;
    }
    const char* in = parsed.positionals[0].c_str();
    const char* out = parsed.positionals[1].c_str();
    const bool binary = parsed.Has("--binary");
    ExportFormat format = ExportFormat::Obj;
    if (!ExportFormatOfPath(out, binary, &format)) {
        std::fprintf(stderr, "facet convert: the output %s must end in .obj, .ply or .off\n",
                     QuotedArgument(out).c_str());
        return kExitRefused;
    }
    if (binary && format != ExportFormat::PlyBinary) {
        std::fprintf(stderr, "facet convert: --binary applies to PLY output only\n");
        return kExitRefused;
    }
    if (platform::SameOutputTarget(in, out)) {
        std::fprintf(stderr, "facet convert: the output %s is the input file\n", QuotedArgument(out).c_str());
        return kExitRefused;
    }

    d3d9sw::SetCallLogging(false);
    facet_tools::HeadlessDevice device;
    HRESULT result = device.Create();
    if (FAILED(result)) return ReportFailure("convert", "creating the software device", result);
    ProgressBar progress("convert");
    facet::MeshFileSummary file;
    facet::Mesh* mesh = LoadMeshFile("convert", device.device(), in, &progress, &file);
    if (mesh == nullptr) return kExitRefused;
    MeshExport exported;
    result = CopyMeshForExport(mesh, false, &exported);
    mesh->Release();
    if (FAILED(result)) {
        progress.Finish();
        return ReportFailure("convert", "reading the mesh", result);
    }
    progress.Step("writing");
    const bool written = WriteOutputFile("convert", out, [&](std::FILE* to) {
        return WriteMeshExport(to, exported, format, "converted by facet");
    });
    progress.Finish();
    return written ? 0 : kExitRefused;
}
