// facet optimize: reads a mesh file, orders it for drawing (compacted, faces ordered for
// the post-transform vertex cache, vertices numbered by first use) and writes it, with
// the simulated cache's figures before and after.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "output_files.h"
#include "standard_output.h"
#include "text_escapes.h"

#include "facet/mesh_file.h"
#include "facet/weld.h"
#include "geometry/cache_miss_ratio.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// FIFO sizes the figures are always given for; --cache adds one.
constexpr std::uint32_t kReportedCaches[] = {16, 32};
constexpr unsigned long kMinCache = 3, kMaxCache = 1024;

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet optimize FILE -o OUT [--cache N] [--weld EPS] [--json] [--threads N]\n"
        "Reads an OBJ, PLY, OFF or STL mesh and writes it ordered for drawing to OUT, in the\n"
        "format its extension names (.obj, .ply as text, or .off; STL keeps no vertex\n"
        "order): faces with two equal corners and vertices no face uses are dropped, the\n"
        "faces are reordered for a post-transform vertex cache, and the vertices are\n"
        "renumbered in the order the faces first use them. The file's vertex numbering and\n"
        "face order are therefore not kept; each triangle keeps its corners and winding.\n"
        "Prints the average cache miss ratio (ACMR, vertices transformed per face) and the\n"
        "average transform-to-vertex ratio (ATVR, per vertex used; 1 is ideal) of a\n"
        "first-in-first-out cache of 16 and of 32 entries, before and after.\n"
        "  --cache N      also give the figures for a cache of N entries (3 to 1024); the\n"
        "                 ordering itself suits caches of 16 to 32 entries and takes no size\n"
        "  --weld EPS     first join vertices within EPS in each coordinate into the lowest-\n"
        "                 numbered one (faces left with two equal corners are dropped)\n"
        "  -o OUT         the output (even a device or pipe takes its format from its name)\n"
        "  --json         print one JSON object instead of text\n"
        "  --threads N    weld on N threads (default: all the processor's); the output is\n"
        "                 the same for every N\n"
        "example: facet optimize scan.ply -o scan-drawn.ply --cache 24\n",
        to);
}

bool ParseCacheSize(const char* text, std::vector<std::uint32_t>* caches) {
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (!std::isdigit(static_cast<unsigned char>(text[0])) || *end != '\0' || errno == ERANGE ||
        parsed < kMinCache || parsed > kMaxCache) {
        std::fprintf(stderr, "facet optimize: --cache needs a whole number from %lu to %lu, not %s\n", kMinCache,
                     kMaxCache, QuotedArgument(text).c_str());
        return false;
    }
    for (const std::uint32_t size : *caches)
        if (size == parsed) return true;
    caches->push_back(static_cast<std::uint32_t>(parsed));
    return true;
}

// The corners of the mesh's faces, three per face, widened to 32 bits.
HRESULT ReadCorners(facet::Mesh* mesh, std::vector<std::uint32_t>* corners) {
    corners->resize(std::size_t{3} * mesh->FaceCount());
    void* data = nullptr;
    const HRESULT result = mesh->LockIndices(D3DLOCK_READONLY, &data);
    if (FAILED(result)) return result;
    const bool wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
    for (std::size_t i = 0; i < corners->size(); ++i)
        (*corners)[i] = wide ? static_cast<const DWORD*>(data)[i] : static_cast<const WORD*>(data)[i];
    mesh->UnlockIndices();
    return D3D_OK;
}

// Points every corner at the lowest-numbered vertex within `epsilon` of it; the vertices
// left unused then go with compacting. The count of vertices merged into another.
HRESULT WeldCorners(facet::Mesh* mesh, float epsilon, facet::ThreadPool* pool, DWORD* welded) {
    std::vector<DWORD> reps(mesh->VertexCount());
    HRESULT result = facet::PointRepsFromPositions(mesh, epsilon, reps.data(), pool);
    if (FAILED(result)) return result;
    *welded = 0;
    for (std::size_t v = 0; v < reps.size(); ++v) *welded += reps[v] != v;
    if (*welded == 0) return D3D_OK;
    void* data = nullptr;
    result = mesh->LockIndices(0, &data);
    if (FAILED(result)) return result;
    const std::size_t count = std::size_t{3} * mesh->FaceCount();
    if ((mesh->Options() & facet::MeshOptions::Indices32Bit) != 0) {
        for (std::size_t i = 0; i < count; ++i) {
            DWORD& corner = static_cast<DWORD*>(data)[i];
            corner = reps[corner];
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            WORD& corner = static_cast<WORD*>(data)[i];
            corner = static_cast<WORD>(reps[corner]);
        }
    }
    mesh->UnlockIndices();
    return D3D_OK;
}

struct CacheFigures {
    std::uint32_t entries;
    facet::VertexCacheStatistics before, after;
};

struct OptimizeReport {
    DWORD facesBefore = 0, facesAfter = 0, verticesBefore = 0, verticesAfter = 0, welded = 0;
    bool weld = false;
    std::vector<CacheFigures> caches;
};

std::vector<facet::VertexCacheStatistics> Simulate(const std::vector<std::uint32_t>& corners, DWORD vertices,
                                                   const std::vector<std::uint32_t>& caches) {
    std::vector<facet::VertexCacheStatistics> statistics;
    for (const std::uint32_t size : caches)
        statistics.push_back(facet::SimulateVertexCache(corners.data(), corners.size() / 3, vertices, size));
    return statistics;
}

// Measures, welds if asked, optimises and measures again.
HRESULT Optimize(facet::Mesh* mesh, const float* weldEpsilon, const std::vector<std::uint32_t>& caches,
                 facet::ThreadPool* pool, ProgressBar* progress, OptimizeReport* report) {
    report->facesBefore = mesh->FaceCount();
    report->verticesBefore = mesh->VertexCount();
    std::vector<std::uint32_t> corners;
    progress->Step("measuring");
    HRESULT result = ReadCorners(mesh, &corners);
    if (FAILED(result)) return result;
    const std::vector<facet::VertexCacheStatistics> before = Simulate(corners, report->verticesBefore, caches);
    if (weldEpsilon != nullptr) {
        progress->Step("welding");
        report->weld = true;
        result = WeldCorners(mesh, *weldEpsilon, pool, &report->welded);
        if (FAILED(result)) return result;
    }
    progress->Step("optimizing");
    result = mesh->OptimizeSelf(facet::OptimizeFlags::All, nullptr, nullptr, nullptr, nullptr);
    if (FAILED(result)) return result;
    report->facesAfter = mesh->FaceCount();
    report->verticesAfter = mesh->VertexCount();
    progress->Step("measuring");
    result = ReadCorners(mesh, &corners);
    if (FAILED(result)) return result;
    const std::vector<facet::VertexCacheStatistics> after = Simulate(corners, report->verticesAfter, caches);
    for (std::size_t i = 0; i < caches.size(); ++i) report->caches.push_back({caches[i], before[i], after[i]});
    return D3D_OK;
}

void PrintText(std::FILE* out, const OptimizeReport& r) {
    std::fprintf(out, "faces          %u -> %u\n", r.facesBefore, r.facesAfter);
    std::fprintf(out, "vertices       %u -> %u\n", r.verticesBefore, r.verticesAfter);
    if (r.weld) std::fprintf(out, "welded         %u\n", r.welded);
    std::fprintf(out, "FIFO entries   ACMR before  after   ATVR before  after\n");
    for (const CacheFigures& c : r.caches)
        std::fprintf(out, "%-14u %11.3f %6.3f %12.3f %6.3f\n", c.entries, c.before.missesPerFace,
                     c.after.missesPerFace, c.before.missesPerVertex, c.after.missesPerVertex);
}

void PrintJson(std::FILE* out, const char* path, const char* output, const OptimizeReport& r) {
    std::fprintf(out, "{\"file\": %s, \"output\": %s, \"faces_before\": %u, \"faces_after\": %u, "
                 "\"vertices_before\": %u, \"vertices_after\": %u, ",
                 JsonString(path).c_str(), JsonString(output).c_str(), r.facesBefore, r.facesAfter, r.verticesBefore,
                 r.verticesAfter);
    if (r.weld) std::fprintf(out, "\"welded_vertices\": %u, ", r.welded);
    std::fputs("\"caches\": [", out);
    for (std::size_t i = 0; i < r.caches.size(); ++i) {
        const CacheFigures& c = r.caches[i];
        std::fprintf(out, "%s{\"entries\": %u, \"acmr_before\": %.6f, \"acmr_after\": %.6f, "
                     "\"atvr_before\": %.6f, \"atvr_after\": %.6f}",
                     i == 0 ? "" : ", ", c.entries, c.before.missesPerFace, c.after.missesPerFace,
                     c.before.missesPerVertex, c.after.missesPerVertex);
    }
    std::fputs("]}\n", out);
}

}  // namespace

int RunOptimizeCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    const int parsedExit =
        ParseFileCommand("optimize", argc, argv, {{"-o", true}, {"--cache", true}, {"--weld", true}, {"--json", false}, {"--threads", true}},
                         1, "one mesh file", PrintUsage, &parsed);
    if (parsedExit >= 0) return parsedExit;
    const char* out = parsed.Value("-o");
    facet::MeshWriteOptions writing;
    writing.comment = "optimized by facet";
    // STL keeps no shared vertices, so the order this command makes would not survive it.
    if (out == nullptr || !facet::MeshFileFormatOfPath(out, &writing.format) ||
        writing.format == facet::MeshFileFormat::Stl) {
        std::fprintf(stderr, "facet optimize: give the output as -o OUT.obj, -o OUT.ply or -o OUT.off (STL keeps no vertex order)\n");
        return kExitRefused;
    }
    std::vector<std::uint32_t> caches(std::begin(kReportedCaches), std::end(kReportedCaches));
    if (parsed.Has("--cache") && !ParseCacheSize(parsed.Value("--cache"), &caches)) return kExitRefused;
    float epsilon = 0.0f;
    if (!ParseWeldEpsilon("optimize", parsed.Value("--weld"), &epsilon)) return kExitRefused;
    unsigned threads = 1;
    if (!ParseThreadCount("optimize", parsed.Value("--threads"), &threads)) return kExitRefused;
    const char* path = parsed.positionals[0].c_str();
    if (!CheckOutputIsNotInput("optimize", path, out)) return kExitRefused;
    CommandOutput output("optimize");
    if (!output.Open(out)) return kExitRefused;

    CommandMesh input("optimize");
    facet::ThreadPool pool(threads);
    if (const int loadExit = input.Load(path, false, &pool); loadExit != 0) return loadExit;
    OptimizeReport report;
    HRESULT result =
        Optimize(input.mesh(), parsed.Has("--weld") ? &epsilon : nullptr, caches, &pool, &input.progress, &report);
    facet::MeshFileData exported;
    if (SUCCEEDED(result)) result = facet::CopyMeshFileData(input.mesh(), false, &exported);
    input.Release();
    input.progress.Finish();
    if (FAILED(result)) return ReportFailure("optimize", "optimizing the mesh", result);
    if (exported.FaceCount() == 0) {
        std::fprintf(stderr, "facet optimize: no face of %s has three different corners; nothing is written\n",
                     QuotedArgument(path).c_str());
        return kExitRefused;
    }
    if (!WriteMeshOutput(&output, exported, writing, &input.progress)) return kExitRefused;
    return WriteStandardOutput("optimize", [&](std::FILE* to) {
               if (parsed.Has("--json"))
                   PrintJson(to, path, out, report);
               else
                   PrintText(to, report);
               return StreamGood(to);
           })
               ? 0
               : kExitRefused;
}
