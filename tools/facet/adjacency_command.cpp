// facet adjacency: reads a mesh file, welds its vertices by position and writes, for each
// triangle in the file's order, the triangles across its three edges.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "output_files.h"
#include "text_escapes.h"

#include "facet/mesh_file.h"
#include "facet/thread_pool.h"
#include "facet/weld.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet adjacency FILE [--weld EPS] [-o OUT] [--threads N]\n"
        "Reads an OBJ, PLY, OFF or STL mesh and writes one line per triangle (a polygon with n\n"
        "corners is the n-2 triangles of its fan, in file order): the numbers of the\n"
        "triangles across its edges from corner 0 to 1, 1 to 2 and 2 to 0, or -1 for none.\n"
        "Vertices at one position are one point, so faces split along seams still meet.\n"
        "  --weld EPS     join vertices within EPS in each coordinate (default 0: equal positions)\n"
        "  -o OUT         write to OUT instead of standard output (-o - is standard output);\n"
        "                 a file named .obj, .ply, .off or .stl is refused: this is not a mesh\n"
        "  --threads N    work on N threads (default: all the processor's); the output is\n"
        "                 the same for every N\n"
        "example: facet adjacency bunny.obj -o bunny.adjacency\n",
        to);
}

// The text of faces [first, last): three entries a line, -1 for none.
std::string FormatLines(const std::vector<DWORD>& adjacency, std::size_t first, std::size_t last) {
    // "4294967294" is the longest entry: ten digits and a separator, three a line.
    std::string text(33 * (last - first), '\0');
    char* out = text.data();
    for (std::size_t entry = 3 * first; entry < 3 * last; ++entry) {
        const DWORD neighbour = adjacency[entry];
        if (neighbour == facet::NoNeighbour) {
            *out++ = '-';
            *out++ = '1';
        } else {
            out = std::to_chars(out, out + 10, neighbour).ptr;
        }
        *out++ = entry % 3 == 2 ? '\n' : ' ';
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    return text;
}

// The lines are formatted in blocks on the pool, a batch of blocks at a time, and written
// in order: this output can run to hundreds of millions of numbers, which one thread
// formats for longer than the adjacency takes to compute.
bool WriteAdjacency(std::FILE* file, const std::vector<DWORD>& adjacency, facet::ThreadPool* pool) {
    std::fputs("# per triangle: the triangles across edges 0-1, 1-2, 2-0 (-1: none)\n", file);
    constexpr std::size_t kBlockFaces = std::size_t{1} << 16;
    const std::size_t faces = adjacency.size() / 3;
    const std::size_t blocks = (faces + kBlockFaces - 1) / kBlockFaces;
    const std::size_t batch = 2 * (pool != nullptr ? pool->Size() : 1);
    std::vector<std::string> texts(batch);
    for (std::size_t firstBlock = 0; firstBlock < blocks; firstBlock += batch) {
        const std::size_t count = std::min(batch, blocks - firstBlock);
        facet::RunParts(pool, count, [&](std::size_t part) {
            const std::size_t first = (firstBlock + part) * kBlockFaces;
            texts[part] = FormatLines(adjacency, first, std::min(faces, first + kBlockFaces));
        });
        for (std::size_t part = 0; part < count; ++part) {
            std::fwrite(texts[part].data(), 1, texts[part].size(), file);
            if (!StreamGood(file)) return false;
        }
    }
    return StreamGood(file);
}

// The adjacency is text: a file named as a mesh would be read back as a broken mesh.
bool CheckNotMeshName(const CommandOutput& output, const char* path) {
    facet::MeshFileFormat named;
    if (output.InPlace() || !facet::MeshFileFormatOfPath(path, &named)) return true;
    std::fprintf(stderr, "facet adjacency: the output %s is named as a mesh file, but the adjacency is text\n",
                 QuotedArgument(path).c_str());
    return false;
}

// Rewrites every corner of `indices` to its vertex's representative; a corner past the
// `vertices` (which the reader never gives) is left for the adjacency to refuse.
template <typename Index>
void JoinCorners(Index* indices, std::size_t corners, const std::vector<DWORD>& pointReps, facet::ThreadPool* pool) {
    const std::size_t parts = facet::PartsFor(pool, corners);
    facet::RunParts(pool, parts, [&](std::size_t part) {
        const auto [first, last] = facet::ItemsOfPart(corners, parts, part);
        for (std::size_t i = first; i < last; ++i)
            if (indices[i] < pointReps.size()) indices[i] = static_cast<Index>(pointReps[indices[i]]);
    });
}

// The welded adjacency of a mesh this command owns and needs no more: its corners are
// rewritten to their representatives once, so the adjacency reads them in order and keeps
// no copy of them through the representatives (a fifth of the peak memory of a large
// mesh). The representatives are vertices of the mesh, so the result is the adjacency
// from the representatives themselves.
HRESULT AdjacencyOfOwnMesh(facet::Mesh* mesh, float epsilon, ProgressBar* progress, std::vector<DWORD>* adjacency,
                           facet::ThreadPool* pool) {
    std::vector<DWORD> reps(mesh->VertexCount());
    progress->Step("welding");
    HRESULT result = facet::PointRepsFromPositions(mesh, epsilon, reps.data(), pool);
    if (FAILED(result)) return result;
    void* indices = nullptr;
    result = mesh->LockIndices(0, &indices);
    if (FAILED(result)) return result;
    const std::size_t corners = std::size_t{3} * mesh->FaceCount();
    if ((mesh->Options() & facet::MeshOptions::Indices32Bit) != 0)
        JoinCorners(static_cast<DWORD*>(indices), corners, reps, pool);
    else
        JoinCorners(static_cast<WORD*>(indices), corners, reps, pool);
    mesh->UnlockIndices();
    reps = {};
    // Made only now, so that its pages are not held through the weld's own peak.
    adjacency->resize(std::size_t{3} * mesh->FaceCount());
    progress->Step("adjacency");
    return facet::AdjacencyFromPointReps(mesh, nullptr, adjacency->data(), pool);
}

}  // namespace

int RunAdjacencyCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    const int parsedExit = ParseFileCommand("adjacency", argc, argv, {{"--weld", true}, {"-o", true}, {"--threads", true}}, 1,
                                            "one mesh file", PrintUsage, &parsed);
    if (parsedExit >= 0) return parsedExit;
    float epsilon = 0.0f;
    if (!ParseWeldEpsilon("adjacency", parsed.Value("--weld"), &epsilon)) return kExitRefused;
    unsigned threads = 1;
    if (!ParseThreadCount("adjacency", parsed.Value("--threads"), &threads)) return kExitRefused;
    const char* path = parsed.positionals[0].c_str();
    const char* out = parsed.Value("-o");
    if (out != nullptr && std::strcmp(out, "-") == 0) out = nullptr;
    if (out != nullptr && !CheckOutputIsNotInput("adjacency", path, out)) return kExitRefused;
    CommandOutput output("adjacency");
    if (out != nullptr && (!output.Open(out) || !CheckNotMeshName(output, out))) return kExitRefused;

    CommandMesh input("adjacency");
    facet::ThreadPool pool(threads);
    if (const int loadExit = input.Load(path, false, &pool); loadExit != 0) return loadExit;
    std::vector<DWORD> adjacency;
    const HRESULT result = AdjacencyOfOwnMesh(input.mesh(), epsilon, &input.progress, &adjacency, &pool);
    input.Release();
    if (FAILED(result)) {
        input.progress.Finish();
        return ReportFailure("adjacency", "computing the adjacency", result);
    }
    input.progress.Step("writing");
    const auto write = [&](std::FILE* file) { return WriteAdjacency(file, adjacency, &pool); };
    const bool written =
        out != nullptr ? output.Write(write) && output.Commit() : WriteStandardOutput("adjacency", write);
    input.progress.Finish();
    return written ? 0 : kExitRefused;
}
