// facet cpu: which math routine family this processor gets, slot by slot.
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "facet/dispatch_report.h"

namespace {

void PrintCpuUsage(std::FILE* to) {
    std::fputs(
        "usage: facet cpu [--help]\n"
        "Detects the processor, fills the math dispatch table and prints the dispatch level\n"
        "(0 portable+x87, 1 3DNow!, 2 SSE2, 3 SSE), the feature flag word, the SSE word and\n"
        "the routine family installed in each of the 73 slots.\n"
        "The settings DisablePSGP and DisableFacetPSGP (environment) restrict the choice.\n"
        "example: DisablePSGP=1 facet cpu\n",
        to);
}

}  // namespace

int RunCpuCommand(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintCpuUsage(stdout);
            return 0;
        }
        std::fprintf(stderr, "facet cpu: unknown option '%s' (try facet cpu --help)\n", argv[i]);
        return 2;
    }
    facet::WriteDispatchReport(stdout);
    return 0;
}
