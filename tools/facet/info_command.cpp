// facet info: reads a mesh file and reports its counts, as text or as one JSON object.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "mesh_statistics.h"
#include "standard_output.h"
#include "text_escapes.h"

#include "facet/weld.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet info FILE [--weld EPS] [--json]\n"
        "Reads an OBJ, PLY or OFF mesh and reports its vertices, faces (and how many of the\n"
        "file's polygons were split into triangles), index width, degenerate faces,\n"
        "unreferenced vertices, boundary edges, non-manifold edges (three faces or more),\n"
        "connected components, whether it is closed, and its bounding box. Vertices at one\n"
        "position count as one point. FILE - reads standard input.\n"
        "  --weld EPS     join vertices within EPS in each coordinate (default 0: equal positions)\n"
        "  --json         print one JSON object instead of text (bytes of the file name that\n"
        "                 are not UTF-8 appear as U+FFFD)\n"
        "example: facet info bunny.ply --json\n",
        to);
}

const char* FormatName(facet::MeshFileFormat format) {
    switch (format) {
        case facet::MeshFileFormat::Obj: return "OBJ";
        case facet::MeshFileFormat::Ply: return "PLY";
        case facet::MeshFileFormat::Off: return "OFF";
        case facet::MeshFileFormat::Stl: return "STL";
    }
    return "";
}

const char* EncodingName(facet::MeshFileEncoding encoding) {
    switch (encoding) {
        case facet::MeshFileEncoding::Text: return "text";
        case facet::MeshFileEncoding::BinaryLittleEndian: return "binary little-endian";
        case facet::MeshFileEncoding::BinaryBigEndian: return "binary big-endian";
    }
    return "";
}

void PrintText(std::FILE* out, const char* path, const facet::MeshFileSummary& file, const MeshStatistics& s) {
    std::fprintf(out, "file                  %s (%s, %s)\n", PrintableText(path).c_str(), FormatName(file.format),
                 EncodingName(file.encoding));
    std::fprintf(out, "vertices              %u\n", s.vertices);
    std::fprintf(out, "faces                 %u (from %u polygons, %u of them split into triangles)\n", s.faces,
                 file.polygons, file.splitPolygons);
    std::fprintf(out, "index width           %s\n", s.indices32 ? "32-bit" : "16-bit");
    std::fprintf(out, "degenerate faces      %u\n", s.degenerateFaces);
    std::fprintf(out, "unreferenced vertices %u\n", s.unreferencedVertices);
    std::fprintf(out, "boundary edges        %llu\n", static_cast<unsigned long long>(s.boundaryEdges));
    std::fprintf(out, "non-manifold edges    %llu\n", static_cast<unsigned long long>(s.nonManifoldEdges));
    std::fprintf(out, "components            %u\n", s.components);
    std::fprintf(out, "closed                %s\n", s.closed ? "yes" : "no");
    std::fprintf(out, "bounding box          %.9g %.9g %.9g to %.9g %.9g %.9g\n", s.minimum[0], s.minimum[1],
                 s.minimum[2], s.maximum[0], s.maximum[1], s.maximum[2]);
}

void PrintJson(std::FILE* out, const char* path, const facet::MeshFileSummary& file, const MeshStatistics& s) {
    std::fprintf(out, "{\"file\": %s, \"format\": \"%s\", \"encoding\": \"%s\", \"vertices\": %u, \"faces\": %u, "
                 "\"polygons\": %u, \"split_polygons\": %u, \"index_bits\": %d, \"degenerate_faces\": %u, "
                 "\"unreferenced_vertices\": %u, \"boundary_edges\": %llu, \"non_manifold_edges\": %llu, "
                 "\"components\": %u, \"closed\": %s, \"bounding_box\": {\"min\": [%.9g, %.9g, %.9g], "
                 "\"max\": [%.9g, %.9g, %.9g]}}\n",
                 JsonString(path).c_str(), FormatName(file.format), EncodingName(file.encoding), s.vertices, s.faces,
                 file.polygons, file.splitPolygons, s.indices32 ? 32 : 16, s.degenerateFaces, s.unreferencedVertices,
                 static_cast<unsigned long long>(s.boundaryEdges), static_cast<unsigned long long>(s.nonManifoldEdges),
                 s.components, s.closed ? "true" : "false", s.minimum[0], s.minimum[1], s.minimum[2], s.maximum[0],
                 s.maximum[1], s.maximum[2]);
}

}  // namespace

int RunInfoCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    const int parsedExit = ParseFileCommand("info", argc, argv, {{"--weld", true}, {"--json", false}}, 1,
                                            "one mesh file", PrintUsage, &parsed);
    if (parsedExit >= 0) return parsedExit;
    float epsilon = 0.0f;
    if (!ParseWeldEpsilon("info", parsed.Value("--weld"), &epsilon)) return kExitRefused;
    const char* path = parsed.positionals[0].c_str();

    CommandMesh input("info");
    if (const int loadExit = input.Load(path); loadExit != 0) return loadExit;
    input.progress.Step("welding");
    std::vector<DWORD> reps(input.mesh()->VertexCount());
    HRESULT result = facet::PointRepsFromPositions(input.mesh(), epsilon, reps.data());
    input.progress.Step("counting");
    MeshStatistics statistics;
    if (SUCCEEDED(result)) result = ComputeMeshStatistics(input.mesh(), reps.data(), &statistics);
    input.Release();
    input.progress.Finish();
    if (FAILED(result)) return ReportFailure("info", "counting", result);
    const bool written = WriteStandardOutput("info", [&](std::FILE* out) {
        if (parsed.Has("--json"))
            PrintJson(out, path, input.summary, statistics);
        else
            PrintText(out, path, input.summary, statistics);
        return StreamGood(out);
    });
    return written ? 0 : kExitRefused;
}
