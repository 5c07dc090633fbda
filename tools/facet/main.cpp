// facet: the command-line face of the Facet library.
#include "command_support.h"
#include "commands.h"
#include "signal_cleanup.h"
#include "standard_output.h"
#include "text_escapes.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet <command> [options]\n"
        "\n"
        "commands:\n"
        "  sphere     build a sphere mesh on a headless software device; print it or export\n"
        "             OBJ/PLY (facet sphere --help lists its options)\n"
        "             example: facet sphere --slices 3 --stacks 3 --normals --adjacency\n"
        "  info       report a mesh file's counts: faces, vertices, boundary and non-manifold\n"
        "             edges, components, bounding box (facet info --help)\n"
        "             example: facet info bunny.ply --json\n"
        "  adjacency  the triangles across each triangle's edges, vertices welded by position\n"
        "             (facet adjacency --help)\n"
        "             example: facet adjacency bunny.obj -o bunny.adjacency\n"
        "  normals    write a mesh file with vertex normals shared across seams\n"
        "             (facet normals --help)\n"
        "             example: facet normals scan.off -o scan.ply\n"
        "  convert    between OBJ, PLY, OFF and STL (facet convert --help)\n"
        "             example: facet convert part.stl part.ply --binary\n"
        "  optimize   write a mesh file ordered for drawing (vertex cache, then vertex\n"
        "             fetch) and print the cache figures before and after (facet optimize --help)\n"
        "             example: facet optimize scan.ply -o scan-drawn.ply\n"
        "  clean      weld, remove degenerate and duplicate faces and unused vertices, make\n"
        "             the winding consistent; or only check (facet clean --help)\n"
        "             example: facet clean scan.off -o scan-clean.ply\n"
        "  cpu        show the math dispatch level, the processor flags and the routine\n"
        "             installed in every slot (facet cpu --help)\n"
        "             example: DisablePSGP=1 facet cpu\n"
        "\n"
        "options:\n"
        "  --help     show this text\n"
        "             example: facet --help\n"
        "  --version  print the version\n"
        "             example: facet --version\n"
        "  --         after a command, ends its options: later arguments are file names\n"
        "             example: facet info -- -scan.ply\n"
        "  --threads N\n"
        "             after a command that reads a mesh (info, adjacency, normals, convert,\n"
        "             optimize, clean): work on N threads, by default all the processor's;\n"
        "             the output is the same for every N\n"
        "             example: facet info scans/ --json --threads 2\n"
        "\n"
        "Outputs are checked before any work and are complete or absent; exit status 0 on\n"
        "success, 1 when the work fails (out of memory included), 2 for refused arguments,\n"
        "input or outputs; facet clean --check exits 3 when the mesh needs cleaning.\n",
        to);
}

// Runs `command` on the arguments after its name; -1 when no command has that name.
int RunCommand(const char* command, int argc, char** argv) {
    if (std::strcmp(command, "sphere") == 0) return RunSphereCommand(argc, argv);
    if (std::strcmp(command, "cpu") == 0) return RunCpuCommand(argc, argv);
    if (std::strcmp(command, "info") == 0) return RunInfoCommand(argc, argv);
    if (std::strcmp(command, "adjacency") == 0) return RunAdjacencyCommand(argc, argv);
    if (std::strcmp(command, "normals") == 0) return RunNormalsCommand(argc, argv);
    if (std::strcmp(command, "convert") == 0) return RunConvertCommand(argc, argv);
    if (std::strcmp(command, "optimize") == 0) return RunOptimizeCommand(argc, argv);
    if (std::strcmp(command, "clean") == 0) return RunCleanCommand(argc, argv);
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return kExitRefused;
    }
    RemovePartialOutputsOnSignals();
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0) {
        PrintUsage(stdout);
        return CloseStandardOutput(nullptr, 0);
    }
    if (std::strcmp(command, "--version") == 0) {
        std::printf("facet %s\n", SPRINGDROP_VERSION);
        return CloseStandardOutput(nullptr, 0);
    }
    int exitCode = kExitRefused;
    try {
        exitCode = RunCommand(command, argc - 2, argv + 2);
    } catch (const std::bad_alloc&) {
        // The library reports its own allocations as E_OUTOFMEMORY; this is the last
        // resort for the program's, with the outputs' temporaries already removed by
        // the unwinding.
        std::fprintf(stderr, "facet %s: out of memory\n", command);
        return CloseStandardOutput(command, kExitFailed);
    }
    if (exitCode < 0) {
        std::fprintf(stderr, "facet: unknown command %s (try facet --help)\n", QuotedArgument(command).c_str());
        return kExitRefused;
    }
    return CloseStandardOutput(command, exitCode);
}
