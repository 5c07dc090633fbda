// facet clean: reads a mesh file, repairs it (welds, drops degenerate and duplicate faces
// and unused vertices, makes the winding consistent and closed parts face outward) and
// writes it, reporting each count it changed; with --check it only reports.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "output_files.h"
#include "standard_output.h"
#include "text_escapes.h"

#include "facet/mesh_cleaning.h"
#include "facet/mesh_file.h"

#include <cstdio>

namespace {

// The exit status of --check when cleaning would change the mesh: distinct from the
// failures (1) and refusals (2), so scripts can tell a mesh to repair from an error.
constexpr int kExitNeedsCleaning = 3;

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet clean FILE -o OUT [--weld EPS] [--json] [--threads N]\n"
        "       facet clean FILE --check [--weld EPS] [--json] [--threads N]\n"
        "Reads an OBJ, PLY, OFF or STL mesh, repairs it and writes it to OUT in the format\n"
        "its extension names (.obj, .ply, .off or .stl, as text). In this order: vertices\n"
        "at one position are welded into the lowest-numbered one; faces with two equal\n"
        "corners or zero area, faces with the corners of an earlier face (in any order) and\n"
        "vertices no face uses are removed; faces are flipped so that each connected part\n"
        "is wound one way, and closed parts are turned to enclose a positive volume. Each\n"
        "count it changed is printed. Surviving faces and vertices keep their relative order.\n"
        "  --weld EPS     join vertices within EPS in each coordinate (default 0: equal positions)\n"
        "  -o OUT         the output (even a device or pipe takes its format from its name)\n"
        "  --check        write nothing: print what cleaning would change; exit status 0 when\n"
        "                 nothing, 3 when something would change\n"
        "  --json         print one JSON object instead of text\n"
        "  --threads N    work on N threads (default: all the processor's); the output is\n"
        "                 the same for every N\n"
        "example: facet clean scan.off -o scan-clean.ply\n",
        to);
}

struct CleanSummary {
    facet::MeshCleaningReport report;
    DWORD facesBefore = 0, facesAfter = 0, verticesBefore = 0, verticesAfter = 0;

    bool NeedsCleaning() const {
        return report.weldedVertices + report.degenerateFaces + report.duplicateFaces + report.unreferencedVertices +
                   report.flippedFaces + report.invertedComponents !=
               0;
    }
};

// Cleans the mesh, or only counts what cleaning would change (the counts after are then
// worked out from the report: each face or vertex it removes is counted once).
HRESULT Clean(facet::Mesh* mesh, float epsilon, bool checkOnly, facet::ThreadPool* pool, CleanSummary* summary) {
    summary->facesBefore = mesh->FaceCount();
    summary->verticesBefore = mesh->VertexCount();
    const facet::MeshCleaningReport& r = summary->report;
    if (checkOnly) {
        const HRESULT result = facet::ValidateMesh(mesh, epsilon, &summary->report, pool);
        summary->facesAfter = summary->facesBefore - r.degenerateFaces - r.duplicateFaces;
        summary->verticesAfter = summary->verticesBefore - r.weldedVertices - r.unreferencedVertices;
        return result;
    }
    const HRESULT result = facet::CleanMesh(mesh, epsilon, &summary->report, pool);
    summary->facesAfter = mesh->FaceCount();
    summary->verticesAfter = mesh->VertexCount();
    return result;
}

void PrintText(std::FILE* out, bool checkOnly, const CleanSummary& s) {
    const facet::MeshCleaningReport& r = s.report;
    std::fprintf(out, "vertices welded               %u\n", r.weldedVertices);
    std::fprintf(out, "degenerate faces removed      %u\n", r.degenerateFaces);
    std::fprintf(out, "duplicate faces removed       %u\n", r.duplicateFaces);
    std::fprintf(out, "unreferenced vertices removed %u\n", r.unreferencedVertices);
    std::fprintf(out, "faces flipped                 %u\n", r.flippedFaces);
    std::fprintf(out, "components inverted           %u\n", r.invertedComponents);
    std::fprintf(out, "faces                         %u -> %u\n", s.facesBefore, s.facesAfter);
    std::fprintf(out, "vertices                      %u -> %u\n", s.verticesBefore, s.verticesAfter);
    std::fprintf(out, "components                    %u (%u closed)\n", r.components, r.closedComponents);
    if (checkOnly) std::fprintf(out, "needs cleaning                %s\n", s.NeedsCleaning() ? "yes" : "no");
}

void PrintJson(std::FILE* out, const char* path, bool checkOnly, const CleanSummary& s) {
    const facet::MeshCleaningReport& r = s.report;
    std::fprintf(out, "{\"file\": %s, \"check_only\": %s, \"needs_cleaning\": %s, \"welded_vertices\": %u, "
                 "\"degenerate_faces\": %u, \"duplicate_faces\": %u, \"unreferenced_vertices\": %u, "
                 "\"flipped_faces\": %u, \"inverted_components\": %u, \"faces_before\": %u, \"faces_after\": %u, "
                 "\"vertices_before\": %u, \"vertices_after\": %u, \"components\": %u, \"closed_components\": %u}\n",
                 JsonString(path).c_str(), checkOnly ? "true" : "false", s.NeedsCleaning() ? "true" : "false",
                 r.weldedVertices, r.degenerateFaces, r.duplicateFaces, r.unreferencedVertices, r.flippedFaces,
                 r.invertedComponents, s.facesBefore, s.facesAfter, s.verticesBefore, s.verticesAfter, r.components,
                 r.closedComponents);
}

}  // namespace

int RunCleanCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    const int parsedExit =
        ParseFileCommand("clean", argc, argv, {{"-o", true}, {"--check", false}, {"--weld", true}, {"--json", false}, {"--threads", true}},
                         1, "one mesh file", PrintUsage, &parsed);
    if (parsedExit >= 0) return parsedExit;
    const bool checkOnly = parsed.Has("--check");
    const char* out = parsed.Value("-o");
    facet::MeshWriteOptions writing;
    writing.comment = "cleaned by facet";
    if (checkOnly && out != nullptr) {
        std::fprintf(stderr, "facet clean: --check writes nothing; leave out -o\n");
        return kExitRefused;
    }
    if (!checkOnly && (out == nullptr || !facet::MeshFileFormatOfPath(out, &writing.format))) {
        std::fprintf(stderr, "facet clean: give the output as -o OUT.obj, OUT.ply, OUT.off or OUT.stl, or --check\n");
        return kExitRefused;
    }
    float epsilon = 0.0f;
    if (!ParseWeldEpsilon("clean", parsed.Value("--weld"), &epsilon)) return kExitRefused;
    // Reading and the weld use the threads; the later cleaning steps run on one.
    unsigned threads = 1;
    if (!ParseThreadCount("clean", parsed.Value("--threads"), &threads)) return kExitRefused;
    const char* path = parsed.positionals[0].c_str();
    if (!checkOnly && !CheckOutputIsNotInput("clean", path, out)) return kExitRefused;
    CommandOutput output("clean");
    if (!checkOnly && !output.Open(out)) return kExitRefused;

    CommandMesh input("clean");
    facet::ThreadPool pool(threads);
    if (const int loadExit = input.Load(path, false, &pool); loadExit != 0) return loadExit;
    input.progress.Step(checkOnly ? "checking" : "cleaning");
    CleanSummary summary;
    HRESULT result = Clean(input.mesh(), epsilon, checkOnly, &pool, &summary);
    facet::MeshFileData exported;
    if (SUCCEEDED(result) && !checkOnly) result = facet::CopyMeshFileData(input.mesh(), false, &exported);
    input.Release();
    input.progress.Finish();
    if (FAILED(result)) return ReportFailure("clean", checkOnly ? "checking the mesh" : "cleaning the mesh", result);
    if (!checkOnly) {
        if (exported.FaceCount() == 0) {
            std::fprintf(stderr, "facet clean: every face of %s is degenerate; nothing is written\n",
                         QuotedArgument(path).c_str());
            return kExitRefused;
        }
        if (!WriteMeshOutput(&output, exported, writing, &input.progress)) return kExitRefused;
    }
    const bool printed = WriteStandardOutput("clean", [&](std::FILE* to) {
        if (parsed.Has("--json"))
            PrintJson(to, path, checkOnly, summary);
        else
            PrintText(to, checkOnly, summary);
        return StreamGood(to);
    });
    if (!printed) return kExitRefused;
    return checkOnly && summary.NeedsCleaning() ? kExitNeedsCleaning : 0;
}
