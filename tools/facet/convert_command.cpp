// facet convert: reads a mesh in one of the four formats and writes it in another,
// keeping the vertex numbering, the (triangulated) face order and the vertex data the
// target format can hold, and saying what it cannot. A file of points or lines without
// faces is written as its points.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "left_out_report.h"
#include "output_files.h"
#include "text_escapes.h"

#include "facet/mesh_file.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet convert IN OUT [--binary] [--threads N]\n"
        "Reads an OBJ, PLY, OFF or STL mesh and writes its positions, vertex normals, texture\n"
        "coordinates, colours and triangles to OUT in the format its extension names (.obj,\n"
        ".ply, .off or .stl, even for a device or pipe). Polygons become triangles; vertex\n"
        "numbering and face order stay the file's (an OBJ vertex whose corners name other\n"
        "texture coordinates or normals is split, the copies numbered after the file's\n"
        "vertices; STL's corners at one position become one vertex). What OUT's format has\n"
        "no place for (STL: all vertex data; OBJ: colour alpha) is left out, and one line on\n"
        "standard error says how much. STL is written with each face's normal computed from\n"
        "its triangle. A file of points or lines without faces is written as its points.\n"
        "IN - reads standard input. A file name that starts with - follows --.\n"
        "  --binary       write PLY or STL as binary little-endian instead of text\n"
        "  --threads N    work on N threads (default: all the processor's); the output is\n"
        "                 the same for every N\n"
        "example: facet convert scan.off scan.ply --binary\n",
        to);
}

// Reads the file's data as it is (no mesh is built: a file without faces gives its
// points). 0, or the exit code after one line on standard error.
int ReadInput(const char* path, facet::ThreadPool* pool, ProgressBar* progress, facet::MeshFileData* data) {
    facet::MeshReadOptions options;
    options.pool = pool;
    options.progress = &ProgressBar::OnRead;
    options.progressContext = progress;
    options.allowNoFaces = true;
    progress->Step("reading");
    facet::MeshFileSummary summary;
    std::string error;
    const HRESULT result =
        std::strcmp(path, "-") == 0
            ? facet::ReadMeshDescriptorData(STDIN_FILENO, "standard input", options, data, &summary, &error)
            : facet::ReadMeshFileData(path, options, data, &summary, &error);
    if (SUCCEEDED(result)) return 0;
    progress->Finish();
    if (error.empty()) return ReportFailure("convert", "reading the mesh", result);
    std::fprintf(stderr, "facet convert: %s\n", PrintableText(error).c_str());
    return kExitRefused;
}

}  // namespace

int RunConvertCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    const int parsedExit = ParseFileCommand("convert", argc, argv, {{"--binary", false}, {"--threads", true}}, 2,
                                            "an input and an output file", PrintUsage, &parsed);
    if (parsedExit >= 0) return parsedExit;
    const char* in = parsed.positionals[0].c_str();
    const char* out = parsed.positionals[1].c_str();
    const bool binary = parsed.Has("--binary");
    // Reading uses the threads; writing is one stream.
    unsigned threads = 1;
    if (!ParseThreadCount("convert", parsed.Value("--threads"), &threads)) return kExitRefused;
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

    ProgressBar progress("convert");
    facet::ThreadPool pool(threads);
    facet::MeshFileData exported;
    if (const int readExit = ReadInput(in, &pool, &progress, &exported); readExit != 0) return readExit;
    progress.Step("writing");
    const bool written =
        output.Write([&](std::FILE* to) { return facet::WriteMeshData(to, exported, writing); }) &&
        output.Commit();
    progress.Finish();
    if (written) ReportLeftOut(stderr, "convert", out, exported, writing.format);
    return written ? 0 : kExitRefused;
}
