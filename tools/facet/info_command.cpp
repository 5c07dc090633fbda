// facet info: reads a mesh file (or a file of points without faces) and reports its counts,
// as text or as one JSON object.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "info_report.h"
#include "standard_output.h"
#include "text_escapes.h"

#include <cstdio>
#include <string>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet info FILE [--weld EPS] [--json]\n"
        "Reads an OBJ, PLY, OFF or STL mesh, or a file of points or lines without faces, and\n"
        "reports what it holds. Vertices at one position (or within EPS) count as one point.\n"
        "  vertices, faces        faces are triangles; polygons, split_polygons and\n"
        "                         non_convex_polygons count the file's polygons, those of more\n"
        "                         than three corners, and those of them not convex in their own\n"
        "                         plane (split by ear clipping rather than as a fan)\n"
        "  index_bits             16 or 32 (null without faces)\n"
        "  degenerate_faces       faces with two corners at one point\n"
        "  zero_area_faces        other faces whose corners' cross product is exactly zero\n"
        "  unreferenced_vertices  vertices no face uses\n"
        "  welded_points          vertices joined into another point (null without faces)\n"
        "  joined_corners         STL: corners read as the vertex of an earlier corner at\n"
        "                         their position (null for the other formats)\n"
        "  boundary_edges         edges of one face; edges are those of non-degenerate faces\n"
        "  non_manifold_edges     edges of three faces or more\n"
        "  misoriented_edges      edges of two faces that run through them the same way\n"
        "  components             groups of faces joined through shared points\n"
        "  edge_components        groups of non-degenerate faces joined through shared edges\n"
        "  closed                 a face with area, no boundary and no non-manifold edge (a\n"
        "                         fan of zero-area faces is not closed; false without faces)\n"
        "  area                   the sum of the triangles' areas, in double\n"
        "  volume                 for a closed mesh without misoriented edges, its signed volume\n"
        "                         (positive when the faces wind outwards), in double; null\n"
        "                         otherwise\n"
        "  bounding_box           of all vertices\n"
        "FILE - reads standard input.\n"
        "  --weld EPS     join vertices within EPS in each coordinate (default 0: equal positions)\n"
        "  --json         print one JSON object instead of text (bytes of the file name that\n"
        "                 are not UTF-8 appear as U+FFFD)\n"
        "example: facet info bunny.ply --json\n",
        to);
}

void PrintText(std::FILE* out, const char* path, const facet::MeshFileSummary& file,
               const facet::MeshStatistics& s) {
    const bool hasFaces = s.faces > 0;
    std::fprintf(out, "file                  %s (%s, %s)\n", PrintableText(path).c_str(),
                 MeshFormatName(file.format), MeshEncodingName(file.encoding));
    std::fprintf(out, "vertices              %u\n", s.vertices);
    std::fprintf(out, "faces                 %u (from %u polygons, %u of them split into triangles, %u not convex)\n",
                 s.faces, file.polygons, file.splitPolygons, file.nonConvexPolygons);
    std::fprintf(out, "index width           %s\n", !hasFaces ? "none" : s.indices32 ? "32-bit" : "16-bit");
    std::fprintf(out, "degenerate faces      %u\n", s.degenerateFaces);
    std::fprintf(out, "zero-area faces       %u\n", s.zeroAreaFaces);
    std::fprintf(out, "unreferenced vertices %u\n", s.unreferencedVertices);
    if (hasFaces)
        std::fprintf(out, "welded points         %u\n", s.weldedPoints);
    else
        std::fprintf(out, "welded points         none (no faces)\n");
    if (file.format == facet::MeshFileFormat::Stl)
        std::fprintf(out, "joined corners        %u\n", file.joinedCorners);
    else
        std::fprintf(out, "joined corners        none (not STL)\n");
    std::fprintf(out, "boundary edges        %llu\n", static_cast<unsigned long long>(s.boundaryEdges));
    std::fprintf(out, "non-manifold edges    %llu\n", static_cast<unsigned long long>(s.nonManifoldEdges));
    std::fprintf(out, "misoriented edges     %llu\n", static_cast<unsigned long long>(s.misorientedEdges));
    std::fprintf(out, "components            %u\n", s.components);
    std::fprintf(out, "edge components       %u\n", s.edgeComponents);
    std::fprintf(out, "closed                %s\n", s.closed ? "yes" : "no");
    std::fprintf(out, "area                  %s\n", RoundTripDecimal(s.area).c_str());
    std::fprintf(out, "volume                %s\n",
                 s.hasVolume ? RoundTripDecimal(s.volume).c_str() : "none (not closed)");
    std::fprintf(out, "bounding box          %.9g %.9g %.9g to %.9g %.9g %.9g\n", file.minimum[0], file.minimum[1],
                 file.minimum[2], file.maximum[0], file.maximum[1], file.maximum[2]);
}

void PrintJson(std::FILE* out, const char* path, const facet::MeshFileSummary& file,
               const facet::MeshStatistics& s) {
    std::fprintf(out, "%s\n", InfoJson(path, file, s).c_str());
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
    if (const int loadExit = input.Load(path, true); loadExit != 0) return loadExit;
    facet::MeshStatistics statistics;
    const HRESULT result = CountMeshForInfo(input.mesh(), input.summary, epsilon, &input.progress, &statistics);
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
